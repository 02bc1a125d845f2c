#include "ReportLayout.h"

#include "ReportDefinition.h"
#include "ReportProgress.h"
#include "ReportRows.h"
#include "TextWrap.h"

#include <algorithm>

namespace {

constexpr qreal PointsPerMm = 72.0 / 25.4;
constexpr qreal MarginMm = 10;

QList<ReportColumnPlace> placeColumns(const ReportDefinition &definition, qreal areaWidth, qreal gap)
{
    qreal total = 0;
    for (const ReportColumn &column : definition.columns)
        total += column.widthMm * PointsPerMm;
    const qreal shrink = total > areaWidth ? areaWidth / total : 1.0;

    QList<ReportColumnPlace> places;
    qreal x = 0;
    for (const ReportColumn &column : definition.columns) {
        ReportColumnPlace place;
        place.x = x;
        place.width = column.widthMm * PointsPerMm * shrink;
        place.textWidth = std::max<qreal>(place.width - gap, 1);
        place.maxLines = column.maxLines;
        places.append(place);
        x += place.width;
    }
    return places;
}

} // namespace

std::optional<ReportLayout> layoutReport(const ReportDefinition &definition, const ReportRows &rows,
                                         const TextMeasure &measure, const std::function<ReportMetrics()> &metrics,
                                         ReportProgress &progress)
{
    ReportLayout layout;
    layout.pageLayout = QPageLayout(definition.pageSize, definition.orientation,
                                    QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm), QPageLayout::Millimeter);
    layout.area = layout.pageLayout.paintRect(QPageLayout::Point).size();
    layout.columns = placeColumns(definition, layout.area.width(), ReportMetrics().columnGap);

    const qsizetype rowCount = rows.rowCount();
    layout.rowLines.resize(size_t(rowCount), 1);
    std::vector<QString> cells;
    for (qsizetype row = 0; row < rowCount; ++row) {
        rows.read(row, cells);
        qsizetype lines = 1;
        for (int column = 0; column < layout.columns.size(); ++column) {
            const ReportColumnPlace &place = layout.columns[column];
            const QString &cell = cells[size_t(column)];
            // Every value is measured (it may bring a taller face), but only
            // those that do not fit on one line are wrapped.
            const bool oneLine = !cell.contains(QLatin1Char('\n')) && measure.advance(cell) <= place.textWidth;
            if (place.maxLines > 1 && !oneLine)
                lines = std::max(lines, wrapText(cell, place.textWidth, place.maxLines, measure).size());
        }
        layout.rowLines[size_t(row)] = quint8(lines);
        if ((row & 1023) == 1023 && !progress.advance(ReportProgress::Stage::LayingOut, row + 1, rowCount))
            return std::nullopt;
    }

    layout.metrics = metrics();
    const qreal room = layout.bodyHeight();
    ReportPage page;
    qreal used = 0;
    for (qsizetype row = 0; row < rowCount; ++row) {
        const qreal height = layout.rowHeight(row);
        if (page.rowCount > 0 && used + height > room) {
            layout.pages.append(page);
            page = ReportPage{row, 0};
            used = 0;
        }
        ++page.rowCount;
        used += height;
    }
    layout.pages.append(page);
    return layout;
}

ReportLayout layoutReport(const ReportDefinition &definition, const ReportRows &rows, const TextMeasure &measure,
                          const ReportMetrics &metrics)
{
    NoProgress progress;
    return *layoutReport(definition, rows, measure, [&metrics] { return metrics; }, progress);
}
