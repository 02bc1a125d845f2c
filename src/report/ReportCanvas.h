#pragma once

#include <QColor>
#include <QLineF>
#include <QRectF>
#include <QStringView>

class FontFace;

// What a report page is drawn on: text on a baseline and straight lines, in
// points from the top left of the printable area. The page is composed once
// (ReportDocument::composePage) and drawn by any canvas: a QPainter for the
// screen, printers and general PDF files, or the report's own PDF writer.
class ReportCanvas
{
public:
    virtual ~ReportCanvas() = default;

    // `text` from `origin` on its baseline, then an ellipsis if asked; it
    // must not reach outside `clip`.
    virtual void text(const FontFace &face, qreal size, QPointF origin, QStringView text, bool ellipsis,
                      const QRectF &clip) = 0;
    virtual void line(const QLineF &line, const QColor &colour, qreal width) = 0;
};
