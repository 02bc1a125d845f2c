#include "ReportEngine.h"

#include "Report.h"
#include "ReportQuery.h"

ReportEngine::Produced ReportEngine::produce(const QString &definitionPath, bool freshData)
{
    NoProgress progress;
    return produce(definitionPath, freshData, progress);
}

ReportEngine::Produced ReportEngine::produce(const QString &definitionPath, bool freshData, ReportProgress &progress)
{
    const ReportDefinitionFile::Loaded loaded = ReportDefinitionFile::read(definitionPath);
    if (!loaded.definition)
        return {nullptr, loaded.error};

    auto report = std::make_shared<Report>();
    report->definition = *loaded.definition;
    report->producedAt = QDateTime::currentDateTime();

    const bool reuse = !freshData && m_lastRows && m_lastDefinition
                    && m_lastDefinition->readsSameRowsAs(report->definition);
    if (reuse) {
        report->rows = m_lastRows;
    } else {
        const ReportQuery::Result query = ReportQuery::run(report->definition, progress);
        if (!query.rows)
            return {nullptr, query.error, query.cancelled};
        report->rows = query.rows;
        // Kept only for a run that may reuse them: a large table is not held for nothing.
        if (freshData) {
            m_lastDefinition.reset();
            m_lastRows.reset();
        } else {
            m_lastDefinition = report->definition;
            m_lastRows = query.rows;
        }
    }

    // The title and headings are measured first: their faces count for the
    // height of a line as much as those of the values.
    auto fonts = std::make_shared<ReportFonts>(m_font);
    fonts->bold().width(report->definition.title);
    for (const ReportColumn &column : report->definition.columns)
        fonts->bold().width(column.heading);
    std::optional<ReportLayout> layout = layoutReport(report->definition, *report->rows, fonts->bodyMeasure(),
                                                      [&fonts] { return fonts->metrics(); }, progress);
    if (!layout)
        return {nullptr, QString(), true};
    report->layout = std::move(*layout);
    report->fonts = std::move(fonts);
    return {report, QString()};
}
