#include "ReportLayout.h"

#include "ReportDefinition.h"
#include "ReportProgress.h"
#include "ReportRows.h"
#include "TextWrap.h"

#include <QThread>
#include <QtConcurrent>

#include <algorithm>

namespace {

constexpr qreal PointsPerMm = 72.0 / 25.4;
constexpr qreal MarginMm = 10;
// Rows each thread measures before the progress is told, and threads at most.
constexpr qsizetype RowsInBatch = 2048;
constexpr int MaxLanes = 4;

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

    // Rows are measured on every core, a batch of them at a time, each
    // thread with a measure of its own where the measure asks for that.
    const qsizetype rowCount = rows.rowCount();
    layout.rowLines.resize(size_t(rowCount), 1);
    layout.longValues.resize(size_t(rowCount), 0);
    // In the order the rows were read, which is that of the file they are kept in.
    const auto measureRows = [&](const TextMeasure &measure, qsizetype from, qsizetype to) {
        std::vector<QString> cells;
        rows.readAppended(from, to, cells, [&](qsizetype row) {
            qsizetype lines = 1;
            quint32 longValues = 0;
            for (int column = 0; column < layout.columns.size(); ++column) {
                const ReportColumnPlace &place = layout.columns[column];
                const QString &cell = cells[size_t(column)];
                // Every value is measured (it may bring a taller face), but only
                // those that do not fit on one line are wrapped.
                const bool oneLine = !cell.contains(QLatin1Char('\n')) && measure.advance(cell) <= place.textWidth;
                if (!oneLine && column < ReportLayout::MarkedColumns)
                    longValues |= 1u << column;
                if (place.maxLines > 1 && !oneLine)
                    lines = std::max(lines, wrapText(cell, place.textWidth, place.maxLines, measure).size());
            }
            layout.rowLines[size_t(row)] = quint8(lines);
            layout.longValues[size_t(row)] = longValues;
        });
    };
    std::vector<std::unique_ptr<TextMeasure>> copies;
    for (int lane = 1; lane < std::clamp(QThread::idealThreadCount(), 1, MaxLanes); ++lane)
        copies.push_back(measure.copy());
    const qsizetype lanes = qsizetype(copies.size()) + 1;
    for (qsizetype first = 0; first < rowCount; first += RowsInBatch * lanes) {
        if (first > 0 && !progress.advance(ReportProgress::Stage::LayingOut, first, rowCount))
            return std::nullopt;
        const qsizetype end = std::min(rowCount, first + RowsInBatch * lanes);
        const qsizetype share = (end - first + lanes - 1) / lanes;
        QList<QFuture<void>> helpers;
        for (qsizetype lane = 1; lane < lanes; ++lane) {
            const TextMeasure &own = copies[size_t(lane - 1)] ? *copies[size_t(lane - 1)] : measure;
            const qsizetype from = std::min(end, first + lane * share);
            const qsizetype to = std::min(end, from + share);
            helpers.append(QtConcurrent::run([&measureRows, &own, from, to] { measureRows(own, from, to); }));
        }
        measureRows(measure, first, std::min(end, first + share));
        for (QFuture<void> &helper : helpers)
            helper.waitForFinished();
    }
    for (const std::unique_ptr<TextMeasure> &copy : copies) {
        if (copy)
            measure.adopt(*copy);
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
