#pragma once

#include <array>

namespace farlight {

/// @brief Geometry of the main window, worked out in twips (1/1440 inch); widgets/twips.h converts
/// them with the screen's DPI.
namespace MainLayout {

/// Gap between the device list and the window's right edge.
inline constexpr int ListRightMarginTwips = 150;
inline constexpr int ColumnCount = 6;

/// @brief Rounds to the nearest integer, halves to even, like the 16-bit conversions of the layout rules.
int RoundHalfEven(double value);

/// @brief Widths of the six list columns for a width of @p widthTwips:
/// w = width / 6 - 20; columns 1-3 get w, 4-5 get w - 100, 6 gets w + 200.
std::array<int, ColumnCount> ColumnWidthsTwips(double widthTwips);

} // namespace MainLayout
} // namespace farlight
