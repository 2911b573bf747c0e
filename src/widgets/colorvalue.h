#pragma once

#include <QColor>
#include <QPalette>
#include <QtGlobal>

namespace farlight {

/// @brief Colour values as dialogs store them: 0x00BBGGRR for a plain colour, or the top bit set
/// and a system colour index in the low byte.
namespace ColorValue {
inline constexpr quint32 SystemFlag = 0x80000000u;
inline constexpr quint32 WindowBackground = 0x80000005u;
inline constexpr quint32 WindowText = 0x80000008u;
inline constexpr quint32 ButtonFace = 0x8000000Fu;
} // namespace ColorValue

/// @brief The colour a value names; system colours come from @p palette's active group
/// (window background is its Base, window text its Text, button face its Button).
/// An unknown system colour index gives black.
QColor ColorFromValue(quint32 value, const QPalette &palette);

} // namespace farlight
