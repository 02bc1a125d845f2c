#include "ReportLayout.h"

#include "ReportDefinition.h"
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

ReportLayout layoutReport(const ReportDefinition &definition, const ReportRows &rows, const TextMeasure &measure,
                          const ReportMetrics &metrics)
{
    ReportLayout layout;
    layout.pageLayout = QPageLayout(definition.pageSize, definition.orientation,
                                    QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm), QPageLayout::Millimeter);
    layout.area = layout.pageLayout.paintRect(QPageLayout::Point).size();
    layout.metrics = metrics;
    layout.columns = placeColumns(definition, layout.area.width(), metrics.columnGap);

    const qsizetype rowCount = rows.rowCount();
    layout.rowLines.resize(size_t(rowCount), 1);
    for (qsizetype row = 0; row < rowCount; ++row) {
        qsizetype lines = 1;
        for (int column = 0; column < layout.columns.size(); ++column) {
            const ReportColumnPlace &place = layout.columns[column];
            const QString &cell = rows.cell(row, column);
            // Most values fit on one line; only the others are wrapped.
            if (place.maxLines > 1 && (cell.contains(QLatin1Char('\n')) || measure.advance(cell) > place.textWidth))
                lines = std::max(lines, wrapText(cell, place.textWidth, place.maxLines, measure).size());
        }
        layout.rowLines[size_t(row)] = quint8(lines);
    }

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
