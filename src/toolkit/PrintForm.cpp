#include "PrintForm.h"

#include "Form.h"

#include <QLocale>
#include <QPainter>
#include <QPaintDevice>
#include <QPixmap>

#include <algorithm>

namespace {
constexpr qreal ScreenDpi = 96.0;
}

ImageDocument::ImageDocument(const QImage &image, const QString &title)
    : m_image(image)
    , m_title(title)
{
}

QPageLayout ImageDocument::pageLayout() const
{
    return regionalPageLayout(QPageLayout::Portrait);
}

void ImageDocument::paintPage(int, QPainter &painter, const QRectF &area) const
{
    // The picture's size in logical pixels, whatever the screen's density.
    const QSizeF logical = m_image.deviceIndependentSize();
    if (logical.isEmpty())
        return;
    const QPaintDevice *device = painter.device();
    qreal scale = device ? device->logicalDpiX() / ScreenDpi : 1.0;
    scale = std::min({scale, area.width() / logical.width(), area.height() / logical.height()});
    painter.drawImage(QRectF(area.topLeft(), logical * scale), m_image);
}

ImageDocument formPage(Form &form)
{
    // Paper is white whatever the desktop's colours: the window is drawn for
    // the page in the standard scheme's black on white, then as before.
    const QPalette screen = form.palette();
    form.setPalette(QPalette(QColor(Qt::white)));
    // grab() draws the widgets as they are now, without the window frame.
    const QImage page = form.grab().toImage();
    form.setPalette(screen);
    return ImageDocument(page, form.caption());
}

QPageLayout regionalPageLayout(QPageLayout::Orientation orientation)
{
    const bool letter = QLocale().measurementSystem() == QLocale::ImperialUSSystem;
    return QPageLayout(QPageSize(letter ? QPageSize::Letter : QPageSize::A4), orientation,
                       QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
}
