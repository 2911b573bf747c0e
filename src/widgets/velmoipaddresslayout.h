#pragma once

#include <QRectF>
#include <QSize>

#include <array>

namespace farlight {

/// @brief Where the entry control's four fields and three dots go for a given control size.
///
/// All lengths are pixels. A control smaller than its minimum (four fields wide enough for
/// "XXX" plus padding, and one line of text plus padding high) is widened to it.
struct VelmoIPAddressLayout
{
    static constexpr int FieldCount = 4;
    static constexpr int DotCount = 3;
    static constexpr int FieldPadding = 10;   // added to the width of "XXX" for the minimum field width
    static constexpr int ControlPadding = 10; // added to four minimum field widths
    static constexpr int HeightPadding = 6;   // added to the text height for the minimum control height
    static constexpr int FieldSpacing = 10;   // between one field's width and the next field's left edge
    static constexpr int FirstFieldLeft = 5;
    static constexpr int DotSize = 2;
    static constexpr int DotOffsetX = 2;      // right of the field's right edge
    static constexpr int DotOffsetY = -2;     // from the field's bottom edge

    QSize minimumSize;
    QSize size;            // the control's size after widening
    QSize sizeTwips;       // the same in twips; set by computeTwips only
    float FieldWidth = 0;
    std::array<QRectF, FieldCount> fields{};
    std::array<QRectF, DotCount> dots{};

    /// @brief The layout of a control of @p size pixels whose font draws "XXX" @p textWidthXXX
    /// pixels wide and a line of text @p textHeight pixels high.
    static VelmoIPAddressLayout compute(QSize size, int textWidthXXX, int textHeight);

    /// @brief The same for a control placed at @p twips on a screen with the given logical DPI;
    /// sizeTwips then holds the control's size in twips, widened where the pixels were.
    static VelmoIPAddressLayout computeTwips(QSize twips, qreal logicalDpiX, qreal logicalDpiY, int textWidthXXX,
                                             int textHeight);
};

} // namespace farlight
