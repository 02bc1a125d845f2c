#pragma once

#include "ReportProgress.h"
#include "ReportRows.h"

#include <QCoreApplication>
#include <QString>

#include <memory>

struct ReportDefinition;

// Reads the rows a report definition asks for, through a read-only SQLite
// connection of its own, in one read transaction (so one consistent view of
// the table). They are sorted in the order of the user's language (any
// alphabet, letter case aside unless asked for) by a collation key made
// once for each row; rows that sort alike keep the table's order.
class ReportQuery
{
    Q_DECLARE_TR_FUNCTIONS(ReportQuery)

public:
    struct Result
    {
        std::shared_ptr<const ReportRows> rows;
        QString error; // names the database file and what went wrong
        bool cancelled = false;
    };

    static Result run(const ReportDefinition &definition, ReportProgress &progress);
    static Result run(const ReportDefinition &definition)
    {
        NoProgress progress;
        return run(definition, progress);
    }
};
