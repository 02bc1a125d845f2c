#include "Printer.h"

#include <QPagedPaintDevice>
#include <QPainter>

PrintResult paintDocument(const PrintDocument &document, QPagedPaintDevice &device, const QString &refused,
                          const PageProgress &progress)
{
    QPainter painter;
    if (!painter.begin(&device))
        return {false, refused};
    // The painter's origin is the top left of the printable area.
    const QRectF area(QPointF(0, 0), device.pageLayout().paintRectPixels(device.logicalDpiX()).size());
    for (int index = 0; index < document.pageCount(); ++index) {
        if (progress && !progress(index, document.pageCount())) {
            painter.end();
            return {false, QString(), true};
        }
        if (index > 0 && !device.newPage()) {
            painter.end();
            return {false, refused};
        }
        painter.save();
        document.paintPage(index, painter, area);
        painter.restore();
    }
    if (!painter.end())
        return {false, refused};
    return {true, QString()};
}
