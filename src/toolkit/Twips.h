#pragma once

#include <QRect>
#include <QSize>

// Geometry is given in twips, 1/1440 inch: 15 twips make one logical pixel at
// 96 dots per inch. Qt scales logical pixels for high-density screens.
constexpr int TwipsPerPixel = 15;

constexpr int twipsToPixels(int twips)
{
    // Round half away from zero so that negative offsets mirror positive ones.
    return twips >= 0 ? (twips + TwipsPerPixel / 2) / TwipsPerPixel
                      : -((-twips + TwipsPerPixel / 2) / TwipsPerPixel);
}

constexpr QSize twipsSize(int width, int height)
{
    return QSize(twipsToPixels(width), twipsToPixels(height));
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

// A rectangle given in twips, as the same rectangle in logical pixels.
constexpr QRect pixelsFromTwips(const QRect &twips)
{
    return twipsRect(twips.x(), twips.y(), twips.width(), twips.height());
}
