#pragma once

#include <QColor>
#include <QLineF>
#include <QRectF>

class FontFaces;
struct ShapedLine;

// What a report page is drawn on: shaped lines of text and straight lines,
// in points from the top left of the printable area. The page is composed
// (ReportDocument::composePage) the same way for every canvas: a QPainter
// for the screen and printers, or the report's own PDF writer.
class ReportCanvas
{
public:
    virtual ~ReportCanvas() = default;

    // `line` at `size` points, its start at `origin` on the baseline; it
    // keeps within `box`, the room the page gives it.
    virtual void text(const ShapedLine &line, const FontFaces &faces, qreal size, QPointF origin,
                      const QRectF &box) = 0;
    virtual void line(const QLineF &line, const QColor &colour, qreal width) = 0;
};
