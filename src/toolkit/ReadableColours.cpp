#include "ReadableColours.h"

#include <QtMath>

namespace {

constexpr qreal KeptContrast = 3.0;
constexpr qreal TargetContrast = 7.0;
constexpr qreal GreySaturation = 0.2;

qreal linear(qreal channel)
{
    return channel <= 0.04045 ? channel / 12.92 : qPow((channel + 0.055) / 1.055, 2.4);
}

qreal relativeLuminance(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

} // namespace

qreal contrastRatio(const QColor &a, const QColor &b)
{
    const qreal first = relativeLuminance(a);
    const qreal second = relativeLuminance(b);
    return (qMax(first, second) + 0.05) / (qMin(first, second) + 0.05);
}

QColor readableOn(const QColor &wanted, const QColor &background)
{
    if (contrastRatio(wanted, background) >= KeptContrast)
        return wanted;
    // Away from the background: lighter on a dark one, darker on a light one.
    const bool lighten = contrastRatio(Qt::white, background) > contrastRatio(Qt::black, background);
    const QColor hsl = wanted.toHsl();
    // Grey text, the desktop's usual text colour, becomes plain black or white.
    if (hsl.hslSaturationF() < GreySaturation)
        return lighten ? QColor(Qt::white) : QColor(Qt::black);
    QColor candidate = wanted;
    for (int step = 1; step <= 100; ++step) {
        const qreal lightness = lighten ? hsl.lightnessF() + (1 - hsl.lightnessF()) * step / 100.0
                                        : hsl.lightnessF() * (1 - step / 100.0);
        candidate = QColor::fromHslF(qMax<qreal>(0, hsl.hslHueF()), hsl.hslSaturationF(), lightness, hsl.alphaF());
        if (contrastRatio(candidate, background) >= TargetContrast)
            break;
    }
    return candidate.toRgb();
}
