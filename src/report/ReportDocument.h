#pragma once

#include "toolkit/Printer.h"

#include <QCoreApplication>

#include <memory>

class ReportCanvas;
struct Report;
struct ReportPage;

// A produced report as pages, each composed when it is wanted, the same way
// on screen, on a printer and in a PDF file. A page carries the title and
// the date on top, the column headings, its rows and "Page N of M".
class ReportDocument final : public PrintDocument
{
    Q_DECLARE_TR_FUNCTIONS(ReportDocument)

public:
    explicit ReportDocument(std::shared_ptr<const Report> report);

    const Report &report() const { return *m_report; }
    std::shared_ptr<const Report> sharedReport() const { return m_report; }

    QString title() const override;
    int pageCount() const override;
    QPageLayout pageLayout() const override;
    void paintPage(int index, QPainter &painter, const QRectF &area) const override;

    // Draws page `index` on a canvas, in points from the top left of the
    // printable area.
    void composePage(int index, ReportCanvas &canvas) const;
    // Every text composePage() draws on any page, but the values and the
    // page numbers: for checking that a face can draw them.
    QStringList fixedTexts() const;
    QString pageLabel(int index) const;

private:
    void composeHeader(ReportCanvas &canvas) const;
    void composeHeadings(ReportCanvas &canvas) const;
    void composeRows(ReportCanvas &canvas, const ReportPage &page) const;
    void composeFooter(ReportCanvas &canvas, int index) const;
    QString dateText() const;

    std::shared_ptr<const Report> m_report;
};
