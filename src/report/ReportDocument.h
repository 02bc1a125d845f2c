#pragma once

#include "toolkit/Printer.h"

#include <QCoreApplication>

#include <memory>

#include "TextShaper.h"

class ReportCanvas;
class ReportFonts;
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
    // printable area; on another thread than the report's, with a copy of
    // its fonts of that thread's own.
    void composePage(int index, ReportCanvas &canvas) const;
    void composePage(int index, ReportCanvas &canvas, const ReportFonts &fonts) const;
    QString pageLabel(int index) const;
    static QString noRowsText();

private:
    // A page being composed: where it goes, and a line to shape into.
    struct Composer
    {
        ReportCanvas &canvas;
        const ReportFonts &fonts;
        ShapedLine shaped;

        void draw(const TextShaper &shaper, qreal size, QStringView text, bool elided, const QRectF &box,
                  qreal baseline, Qt::Alignment alignment, bool rightToLeft);
        // Draws the line shaped last.
        void place(qreal size, const QRectF &box, qreal baseline, Qt::Alignment alignment);
    };

    void composeHeader(Composer &composer) const;
    void composeHeadings(Composer &composer) const;
    void composeRows(Composer &composer, const ReportPage &page) const;
    void composeFooter(Composer &composer, int index) const;
    QString dateText() const;

    std::shared_ptr<const Report> m_report;
};
