#include "widgets/velmoipaddresslayout.h"

#include "widgets/twips.h"

namespace farlight {

VelmoIPAddressLayout VelmoIPAddressLayout::compute(QSize size, int textWidthXXX, int textHeight)
{
    VelmoIPAddressLayout layout;
    const int minimumFieldWidth = textWidthXXX + FieldPadding;
    layout.minimumSize = QSize(FieldCount * minimumFieldWidth + ControlPadding, textHeight + HeightPadding);
    layout.size = size.expandedTo(layout.minimumSize);
    layout.FieldWidth = float(layout.size.width()) / FieldCount - FieldSpacing;

    const float fieldTop = float(layout.size.height() - textHeight) / 2;
    for (int i = 0; i < FieldCount; ++i) {
        const float left = (layout.FieldWidth + FieldSpacing) * i + FirstFieldLeft;
        layout.fields[i] = QRectF(left, fieldTop, layout.FieldWidth, textHeight);
    }
    for (int i = 0; i < DotCount; ++i) {
        const QRectF &field = layout.fields[i];
        layout.dots[i] = QRectF(field.right() + DotOffsetX, field.bottom() + DotOffsetY, DotSize, DotSize);
    }
    return layout;
}

VelmoIPAddressLayout VelmoIPAddressLayout::computeTwips(QSize twips, qreal logicalDpiX, qreal logicalDpiY,
                                                        int textWidthXXX, int textHeight)
{
    const QSize pixels(TwipsToPixels(twips.width(), logicalDpiX), TwipsToPixels(twips.height(), logicalDpiY));
    VelmoIPAddressLayout layout = compute(pixels, textWidthXXX, textHeight);
    layout.sizeTwips = twips;
    if (layout.size.width() != pixels.width())
        layout.sizeTwips.setWidth(PixelsToTwips(layout.size.width(), logicalDpiX));
    if (layout.size.height() != pixels.height())
        layout.sizeTwips.setHeight(PixelsToTwips(layout.size.height(), logicalDpiY));
    return layout;
}

} // namespace farlight
