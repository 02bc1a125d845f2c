#pragma once

#include <QColor>
#include <QFont>

// The program's one sans-serif dialog font, sized in points as on a
// 96 dots-per-inch screen so that text keeps its place in twips layouts.
QFont dialogFont(qreal points = 8.25, bool bold = false);

// The few fixed colours the windows use.
namespace Colours {
inline const QColor Red{0xff, 0x00, 0x00};
inline const QColor DarkRed{0x80, 0x00, 0x00};
inline const QColor DarkGrey{0x40, 0x40, 0x40};
inline const QColor Blue{0x00, 0x00, 0xff};
inline const QColor Black{0x00, 0x00, 0x00};
} // namespace Colours
