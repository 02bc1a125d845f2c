#pragma once

#include <QList>
#include <QPageLayout>
#include <QRectF>
#include <QSizeF>

#include <functional>
#include <optional>
#include <vector>

class ReportProgress;
class ReportRows;
class TextMeasure;
struct ReportDefinition;

// The heights a report's parts take on paper, in points.
struct ReportMetrics
{
    qreal lineHeight = 10;     // one line of a value
    qreal ascent = 0.9;        // from the top of a line to its baseline, per point of size...
    qreal descent = 0.25;      // ...and from the baseline down
    qreal rowPadding = 2;      // above and below the values of a row
    qreal headerHeight = 30;   // title and date, with a rule under them
    qreal headingsHeight = 16; // the column headings
    qreal footerHeight = 18;   // "Page N of M"
    qreal columnGap = 5;       // between the values of two columns
};

struct ReportColumnPlace
{
    qreal x = 0;     // from the left of the printable area, in points
    qreal width = 0; // the column's share of the line
    qreal textWidth = 0;
    int maxLines = 1;
};

// The rows on one page: a run of consecutive rows.
struct ReportPage
{
    qsizetype firstRow = 0;
    qsizetype rowCount = 0;

    friend bool operator==(const ReportPage &, const ReportPage &) = default;
};

// Where everything of a report goes, as plain numbers: the page, the
// columns, how many lines each row takes and which rows each page holds.
// Everything is in points, from the top left of the printable area.
struct ReportLayout
{
    QPageLayout pageLayout;
    QSizeF area;
    ReportMetrics metrics;
    QList<ReportColumnPlace> columns;
    std::vector<quint8> rowLines;
    // For each row, a bit for each of its first 32 columns whose value
    // does not fit on one line as it is (it is wrapped or cut short).
    std::vector<quint32> longValues;
    QList<ReportPage> pages;

    static constexpr int MarkedColumns = 32;
    bool fitsOneLine(qsizetype row, int column) const
    {
        return column < MarkedColumns && !(longValues[size_t(row)] >> column & 1);
    }

    qreal bodyTop() const { return metrics.headerHeight + metrics.headingsHeight; }
    qreal bodyHeight() const { return area.height() - bodyTop() - metrics.footerHeight; }
    qreal rowHeight(qsizetype row) const { return rowLines[size_t(row)] * metrics.lineHeight + 2 * metrics.rowPadding; }
};

// Lays a report out: the paper and orientation of the definition with
// margins of 10 mm; the columns at their widths, all narrowed alike when
// they would not fit across; each row as tall as its tallest value (up to
// its column's lines); and the rows onto pages in order, as many as fit,
// a row never split across two pages. No rows give one page. The metrics
// are asked for once every value has been measured (the faces used decide
// the height of a line). Empty when the progress was cancelled.
std::optional<ReportLayout> layoutReport(const ReportDefinition &definition, const ReportRows &rows,
                                         const TextMeasure &measure, const std::function<ReportMetrics()> &metrics,
                                         ReportProgress &progress);
ReportLayout layoutReport(const ReportDefinition &definition, const ReportRows &rows, const TextMeasure &measure,
                          const ReportMetrics &metrics);
