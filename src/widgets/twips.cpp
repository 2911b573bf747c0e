#include "widgets/twips.h"

namespace farlight {

int TwipsToPixels(int twips, qreal logicalDpi)
{
    return qRound(twips * logicalDpi / TwipsPerInch);
}

int PixelsToTwips(int pixels, qreal logicalDpi)
{
    if (logicalDpi <= 0)
        return 0;
    return qRound(pixels * qreal(TwipsPerInch) / logicalDpi);
}

QRect TwipsToPixels(const QRect &twips, qreal logicalDpiX, qreal logicalDpiY)
{
    return QRect(TwipsToPixels(twips.x(), logicalDpiX), TwipsToPixels(twips.y(), logicalDpiY),
                 TwipsToPixels(twips.width(), logicalDpiX), TwipsToPixels(twips.height(), logicalDpiY));
}

} // namespace farlight
