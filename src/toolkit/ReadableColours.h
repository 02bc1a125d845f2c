#pragma once

#include <QColor>

// Colours of text that must stay readable on the background behind it,
// whatever the desktop's colour scheme.

// How well two colours set each other off: the contrast ratio of the Web
// Content Accessibility Guidelines, from 1 (none) to 21 (black on white).
qreal contrastRatio(const QColor &a, const QColor &b);

// A text colour on `background`: `wanted` itself where the two contrast at
// least 3:1 (the least that large text needs); otherwise the same hue made
// lighter or darker until they contrast 7:1, and a grey black or white.
QColor readableOn(const QColor &wanted, const QColor &background);
