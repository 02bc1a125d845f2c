#include "CapturingPrinter.h"

#include <QPainter>

PrintResult CapturingPrinter::print(const PrintDocument &document, const PageProgress &progress)
{
    ++m_attempts;
    if (!m_failures.isEmpty())
        return {false, m_failures.takeFirst()};

    Job job;
    job.title = document.title();
    job.layout = document.pageLayout();
    job.paintRect = job.layout.paintRectPixels(Dpi);
    const QSize pageSize = job.layout.fullRectPixels(Dpi).size();
    for (int index = 0; index < document.pageCount(); ++index) {
        if (progress && !progress(index, document.pageCount()))
            return {false, QString(), true};
        QImage page(pageSize, QImage::Format_RGB32);
        page.setDotsPerMeterX(qRound(Dpi / 0.0254));
        page.setDotsPerMeterY(qRound(Dpi / 0.0254));
        page.fill(Qt::white);
        QPainter painter(&page);
        painter.translate(job.paintRect.topLeft());
        document.paintPage(index, painter, QRectF(QPointF(0, 0), job.paintRect.size()));
        painter.end();
        job.pages.append(page);
    }
    m_jobs.append(job);
    return {true, QString()};
}
