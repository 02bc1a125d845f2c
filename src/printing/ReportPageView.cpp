#include "ReportPageView.h"

#include "report/ReportDocument.h"

#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {
constexpr int Gap = 12;           // around and between pages, in pixels
constexpr qreal ScreenZoom = 96.0 / 72.0;
constexpr qreal SmallestZoom = 0.5;
constexpr qreal LargestZoom = 2.0;
} // namespace

ReportPageView::ReportPageView(const ReportDocument &document, QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_document(document)
{
    setObjectName(QStringLiteral("pageView"));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    m_zoom = ScreenZoom;
}

QSizeF ReportPageView::pageSize() const
{
    return m_document.pageLayout().fullRect(QPageLayout::Point).size() * m_zoom;
}

int ReportPageView::pagePitch() const
{
    return int(std::ceil(pageSize().height())) + Gap;
}

int ReportPageView::currentPage() const
{
    const int pitch = pagePitch();
    // The page that fills most of the top of the view.
    const int page = (verticalScrollBar()->value() + pitch / 3) / std::max(pitch, 1);
    return std::clamp(page, 0, std::max(m_document.pageCount() - 1, 0));
}

void ReportPageView::showPage(int index)
{
    verticalScrollBar()->setValue(std::clamp(index, 0, m_document.pageCount() - 1) * pagePitch());
}

void ReportPageView::resizeEvent(QResizeEvent *event)
{
    // Pages as wide as the view, within limits; the page in sight stays so.
    const int page = currentPage();
    const qreal width = m_document.pageLayout().fullRect(QPageLayout::Point).width();
    m_zoom = std::clamp((viewport()->width() - 2 * Gap) / width, SmallestZoom, LargestZoom);
    updateScrollBars();
    showPage(page);
    QAbstractScrollArea::resizeEvent(event);
}

void ReportPageView::updateScrollBars()
{
    const QSizeF page = pageSize();
    const qint64 height = qint64(m_document.pageCount()) * pagePitch() + Gap;
    const int width = int(std::ceil(page.width())) + 2 * Gap;
    // Far enough for the last page to reach the top, as any other page does.
    const qint64 lastPageOnTop = qint64(std::max(m_document.pageCount() - 1, 0)) * pagePitch();
    const qint64 range = std::max(height - viewport()->height(), lastPageOnTop);
    verticalScrollBar()->setRange(0, int(std::clamp<qint64>(range, 0, INT_MAX)));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(40);
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void ReportPageView::scrollContentsBy(int, int)
{
    viewport()->update();
    const int page = currentPage();
    if (page != m_reportedPage) {
        m_reportedPage = page;
        Q_EMIT currentPageChanged(page);
    }
}

void ReportPageView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const QSizeF page = pageSize();
    const int pitch = pagePitch();
    const int top = verticalScrollBar()->value();
    const qreal left = page.width() + 2 * Gap <= viewport()->width() ? (viewport()->width() - page.width()) / 2
                                                                      : Gap - horizontalScrollBar()->value();
    const QRectF paintRect = m_document.pageLayout().paintRect(QPageLayout::Point);

    const int first = std::max(0, (top - Gap) / pitch);
    const int last = std::min(m_document.pageCount() - 1, (top + viewport()->height()) / pitch);
    for (int index = first; index <= last; ++index) {
        const QRectF sheet(QPointF(left, Gap + qreal(index) * pitch - top), page);
        painter.fillRect(sheet.translated(2, 2), palette().color(QPalette::Shadow));
        painter.fillRect(sheet, Qt::white);
        const QRectF area(sheet.topLeft() + paintRect.topLeft() * m_zoom, paintRect.size() * m_zoom);
        painter.save();
        m_document.paintPage(index, painter, area);
        painter.restore();
    }
}
