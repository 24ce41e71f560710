#pragma once
// Contrast of two colours as the accessibility guidelines define it: the
// relative luminance of each (sRGB channels linearised, weighted 0.2126,
// 0.7152, 0.0722), then (lighter + 0.05) / (darker + 0.05), from 1 to 21.

#include <QColor>

#include <algorithm>
#include <cmath>

namespace qf::ui::test {

inline double relativeLuminance(QColor c)
{
    auto linear = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
}

inline double contrastRatio(QColor a, QColor b)
{
    const double la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace qf::ui::test
