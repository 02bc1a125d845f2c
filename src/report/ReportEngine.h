#pragma once

#include "ReportDefinition.h"
#include "ReportProgress.h"
#include "ReportRows.h"
#include "toolkit/Fonts.h"

#include <QCoreApplication>
#include <QFont>

#include <memory>
#include <optional>

struct Report;

// Makes a report from a definition file: reads and checks the definition,
// reads the rows and lays them out. Without fresh data, the rows read by
// the previous run without fresh data serve again when they came from the
// same source in the same order. Nothing here draws or opens a window.
class ReportEngine
{
    Q_DECLARE_TR_FUNCTIONS(ReportEngine)

public:
    struct Produced
    {
        std::shared_ptr<const Report> report;
        QString error; // for the user: names the file and what is wrong
        bool cancelled = false;
    };

    // Progress is told as the rows are read, sorted and laid out; the user
    // may cancel it.
    Produced produce(const QString &definitionPath, bool freshData, ReportProgress &progress);
    Produced produce(const QString &definitionPath, bool freshData);

    // The font reports are drawn in (their headings in its bold style);
    // the program's dialog font unless set.
    void setFont(const QFont &font) { m_font = font; }

private:
    QFont m_font = dialogFont(8.25, false);
    std::optional<ReportDefinition> m_lastDefinition;
    std::shared_ptr<const ReportRows> m_lastRows;
};
