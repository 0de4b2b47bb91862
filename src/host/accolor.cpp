#include "host/accolor.h"

#include <cmath>

std::uint32_t aciToRgb(int index, bool darkBackground)
{
    static const std::uint32_t kBasic[10] = {0,        0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF,
                                             0x0000FF, 0xFF00FF, 0,        0x808080, 0xC0C0C0};
    static const std::uint32_t kGreys[6] = {0x333333, 0x505050, 0x696969, 0x828282, 0xBEBEBE, 0xFFFFFF};
    if (index >= 1 && index <= 9 && index != 7)
        return kBasic[index];
    if (index >= 250 && index <= 255)
        return kGreys[index - 250];
    if (index < 10 || index > 255)
        return darkBackground ? 0xFFFFFF : 0x000000;
    // Ten shades for each hue in 15 degree steps: value falls over five row
    // pairs, the second of each pair at half saturation.
    const int hueStep = (index - 10) / 10, row = (index - 10) % 10;
    static const double kValue[5] = {1.0, 0.8, 0.6, 0.5, 0.3};
    const double value = kValue[row / 2];
    const double sat = (row % 2) ? 0.5 : 1.0;
    const double hue = hueStep * 15.0 / 60.0;
    const int sector = static_cast<int>(hue);
    const double f = hue - sector;
    const double p = value * (1 - sat), q = value * (1 - sat * f), t = value * (1 - sat * (1 - f));
    double r = 0, g = 0, b = 0;
    switch (sector) {
    case 0: r = value; g = t; b = p; break;
    case 1: r = q; g = value; b = p; break;
    case 2: r = p; g = value; b = t; break;
    case 3: r = p; g = q; b = value; break;
    case 4: r = t; g = p; b = value; break;
    default: r = value; g = p; b = q; break;
    }
    const auto channel = [](double x) { return static_cast<std::uint32_t>(std::floor(x * 255 + 1e-6)); };
    return (channel(r) << 16) | (channel(g) << 8) | channel(b);
}
