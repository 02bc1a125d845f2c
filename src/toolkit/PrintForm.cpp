#include "PrintForm.h"

#include <QLocale>
#include <QPainter>
#include <QPaintDevice>
#include <QPixmap>
#include <QWidget>

#include <algorithm>

namespace {
constexpr qreal ScreenDpi = 96.0;
}

ImageDocument::ImageDocument(const QPicture &picture, QSize size, const QString &title)
    : m_picture(picture)
    , m_size(size)
    , m_title(title)
{
}

QPageLayout ImageDocument::pageLayout() const
{
    return regionalPageLayout(QPageLayout::Portrait);
}

void ImageDocument::paintPage(int, QPainter &painter, const QRectF &area) const
{
    const QSizeF logical = m_size;
    if (logical.isEmpty())
        return;
    const QPaintDevice *device = painter.device();
    qreal scale = device ? device->logicalDpiX() / ScreenDpi : 1.0;
    scale = std::min({scale, area.width() / logical.width(), area.height() / logical.height()});
    painter.translate(area.topLeft());
    painter.scale(scale, scale);
    painter.setClipRect(QRectF(QPointF(0, 0), logical), Qt::IntersectClip);
    painter.drawPicture(0, 0, m_picture);
}

ImageDocument formPage(QWidget &form)
{
    // The widgets as they are now, without the window frame.
    QPicture picture;
    QPainter painter(&picture);
    form.render(&painter, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    painter.end();
    return ImageDocument(picture, form.size(), form.windowTitle());
}

QPageLayout regionalPageLayout(QPageLayout::Orientation orientation)
{
    const bool letter = QLocale().measurementSystem() == QLocale::ImperialUSSystem;
    return QPageLayout(QPageSize(letter ? QPageSize::Letter : QPageSize::A4), orientation,
                       QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
}
