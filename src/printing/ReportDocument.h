#pragma once

#include "toolkit/Printer.h"

#include <QCoreApplication>

#include <memory>

struct Report;
struct ReportPage;
struct GlyphBuffer;

// A produced report as pages: each page painted when it is wanted, the same
// way on screen, on a printer and in a PDF file. A page carries the title
// and the date on top, the column headings, its rows and "Page N of M".
class ReportDocument final : public PrintDocument
{
    Q_DECLARE_TR_FUNCTIONS(ReportDocument)

public:
    explicit ReportDocument(std::shared_ptr<const Report> report);

    const Report &report() const { return *m_report; }

    QString title() const override;
    int pageCount() const override;
    QPageLayout pageLayout() const override;
    void paintPage(int index, QPainter &painter, const QRectF &area) const override;

private:
    void paintHeader(QPainter &painter) const;
    void paintHeadings(QPainter &painter) const;
    void paintRows(QPainter &painter, const ReportPage &page) const;
    void paintCell(QPainter &painter, const QString &value, int column, qreal top, qreal height,
                   GlyphBuffer &glyphs) const;
    void paintFooter(QPainter &painter, int index) const;

    std::shared_ptr<const Report> m_report;
};
