#pragma once

#include <QRect>

#include <QtGlobal>

namespace farlight {

/// @brief Twips per inch: dialogs place their controls in twips, 1/1440 inch.
inline constexpr int TwipsPerInch = 1440;

/// @brief A length in twips as pixels of a screen with the given logical DPI, to the nearest pixel
/// (2010 twips are 134 pixels at 96 DPI).
int TwipsToPixels(int twips, qreal logicalDpi);

/// @brief A length in pixels of a screen with the given logical DPI as twips, to the nearest twip.
int PixelsToTwips(int pixels, qreal logicalDpi);

/// @brief A rectangle in twips as pixels, with separate horizontal and vertical DPI.
QRect TwipsToPixels(const QRect &twips, qreal logicalDpiX, qreal logicalDpiY);

} // namespace farlight
