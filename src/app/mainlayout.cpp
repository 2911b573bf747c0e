#include "app/mainlayout.h"

#include <cmath>

namespace farlight::MainLayout {

int RoundHalfEven(double value)
{
    return int(std::nearbyint(value)); // the default rounding mode rounds halves to even
}

std::array<int, ColumnCount> ColumnWidthsTwips(double widthTwips)
{
    static constexpr int Divisor = 6;
    static constexpr int Inset = 20;
    static constexpr int NarrowBy = 100;
    static constexpr int WideBy = 200;
    const int w = RoundHalfEven(double(RoundHalfEven(widthTwips)) / Divisor - Inset);
    return {w, w, w, w - NarrowBy, w - NarrowBy, w + WideBy};
}

} // namespace farlight::MainLayout
