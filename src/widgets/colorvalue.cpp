#include "widgets/colorvalue.h"

#include <optional>

namespace farlight {

namespace {

// System colour indices and the palette roles that play their part on this platform.
std::optional<QPalette::ColorRole> roleForSystemIndex(quint32 index)
{
    switch (index) {
    case 4: return QPalette::Window;           // menu background
    case 5: return QPalette::Base;             // window background
    case 7: return QPalette::WindowText;       // menu text
    case 8: return QPalette::Text;             // window text
    case 13: return QPalette::Highlight;       // selected item background
    case 14: return QPalette::HighlightedText; // selected item text
    case 15: return QPalette::Button;          // button face
    case 16: return QPalette::Dark;            // button shadow
    case 18: return QPalette::ButtonText;      // button text
    case 20: return QPalette::Light;           // button highlight
    case 21: return QPalette::Shadow;          // dark 3D shadow
    case 22: return QPalette::Midlight;        // light 3D edge
    case 23: return QPalette::ToolTipText;     // tooltip text
    case 24: return QPalette::ToolTipBase;     // tooltip background
    default: return std::nullopt;
    }
}

} // namespace

QColor ColorFromValue(quint32 value, const QPalette &palette)
{
    if (value & ColorValue::SystemFlag) {
        const auto role = roleForSystemIndex(value & 0xFFu);
        if (!role || (value & 0x7FFFFF00u) != 0)
            return QColor(Qt::black);
        return palette.color(QPalette::Active, *role);
    }
    return QColor(int(value & 0xFFu), int((value >> 8) & 0xFFu), int((value >> 16) & 0xFFu));
}

} // namespace farlight
