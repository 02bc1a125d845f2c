#pragma once

#include <QAbstractScrollArea>

class ReportDocument;

// The pages of a report one under the other, as wide as the view allows.
// Only the pages in sight are painted, so a report of thousands of pages
// scrolls as lightly as one of a single page.
class ReportPageView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    ReportPageView(const ReportDocument &document, QWidget *parent = nullptr);

    // The page at the top of the view, from 0.
    int currentPage() const;
    void showPage(int index);
    // Screen pixels per point.
    qreal zoom() const { return m_zoom; }

Q_SIGNALS:
    void currentPageChanged(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollBars();
    QSizeF pageSize() const;
    int pagePitch() const;

    const ReportDocument &m_document;
    qreal m_zoom = 1;
    int m_reportedPage = -1;
};
