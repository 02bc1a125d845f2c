#include "PrintForm.h"

#include "Form.h"

#include <QLocale>
#include <QPainter>
#include <QPaintDevice>
#include <QPicture>

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
    // Through a picture: rendered onto a printer directly, Qt draws the
    // window as pixels, and a picture keeps its text only when it is played
    // at its own size (which is why printers and PDF files are given the
    // screen's resolution). Paper is white whatever the desktop's colours:
    // the window is drawn for the page in the standard scheme's black on
    // white, then shows as before.
    QPicture picture;
    const QPalette screen = m_form->palette();
    m_form->setPalette(QPalette(QColor(Qt::white)));
    QPainter recorder(&picture);
    m_form->render(&recorder, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    recorder.end();
    m_form->setPalette(screen);
    painter.translate(area.topLeft());
    if (!qFuzzyCompare(scale, 1.0))
        painter.scale(scale, scale);
    picture.play(&painter);
}

FormDocument formPage(Form &form)
{
    return FormDocument(form, form.caption());
}

QPageLayout regionalPageLayout(QPageLayout::Orientation orientation)
{
    const bool letter = QLocale().measurementSystem() == QLocale::ImperialUSSystem;
    return QPageLayout(QPageSize(letter ? QPageSize::Letter : QPageSize::A4), orientation,
                       QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
}
