#include "PrintForm.h"

#include <QLocale>
#include <QPainter>
#include <QPaintDevice>

#include <algorithm>

namespace {
constexpr qreal ScreenDpi = 96.0;
}

FormDocument::FormDocument(QWidget &form, const QString &title)
    : m_form(&form)
    , m_title(title)
{
}

QPageLayout FormDocument::pageLayout() const
{
    return regionalPageLayout(QPageLayout::Portrait);
}

void FormDocument::paintPage(int, QPainter &painter, const QRectF &area) const
{
    if (!m_form)
        return;
    // The window's size in logical pixels, whatever the screen's density.
    const QSizeF logical = m_form->size();
    if (logical.isEmpty())
        return;
    const QPaintDevice *device = painter.device();
    qreal scale = device ? device->logicalDpiX() / ScreenDpi : 1.0;
    scale = std::min({scale, area.width() / logical.width(), area.height() / logical.height()});
    painter.translate(area.topLeft());
    painter.scale(scale, scale);
    m_form->render(&painter, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
}

FormDocument formPage(QWidget &form)
{
    return FormDocument(form, form.windowTitle());
}

QPageLayout regionalPageLayout(QPageLayout::Orientation orientation)
{
    const bool letter = QLocale().measurementSystem() == QLocale::ImperialUSSystem;
    return QPageLayout(QPageSize(letter ? QPageSize::Letter : QPageSize::A4), orientation,
                       QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
}
