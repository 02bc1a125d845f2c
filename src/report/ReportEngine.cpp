#include "ReportEngine.h"

#include "Report.h"
#include "ReportQuery.h"

ReportEngine::Produced ReportEngine::produce(const QString &definitionPath, bool freshData)
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
        const ReportQuery::Result query = ReportQuery::run(report->definition);
        if (!query.rows)
            return {nullptr, query.error};
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

    auto fonts = std::make_shared<ReportFonts>();
    report->layout = layoutReport(report->definition, *report->rows, fonts->bodyMeasure(), fonts->metrics());
    report->fonts = std::move(fonts);
    return {report, QString()};
}
