#include "core/dpi.h"

int g_screenDpi = 96;

namespace {

// value * numerator / denominator, halves rounded away from zero.
int MulDivRounded(int value, int numerator, int denominator)
{
    if (denominator <= 0 || numerator <= 0)
        return value;
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                          : (product - half) / denominator);
}

} // namespace

int ClampDpi(int dpi)
{
    return dpi < kMinDpi ? kMinDpi : dpi > kMaxDpi ? kMaxDpi : dpi;
}

int ScaleStep(int value, int dpi)
{
    const int step = ScaleFrom96(value, ClampDpi(dpi));
    return step > 1 ? step : 1;
}

int ScaleFrom96(int value, int dpi)
{
    return MulDivRounded(value, dpi, 96);
}

int ScaleTo96(int value, int dpi)
{
    return MulDivRounded(value, 96, dpi);
}

int NearestImageSize(const int *sizes, int count, int wanted)
{
    for (int i = 0; i < count; ++i)
        if (sizes[i] >= wanted)
            return sizes[i];
    return count > 0 ? sizes[count - 1] : wanted;
}
