#pragma once

#include "ReportRows.h"

#include <QCoreApplication>
#include <QString>

#include <memory>

struct ReportDefinition;

// Reads the rows a report definition asks for, through a read-only SQLite
// connection of its own, in one statement (so one consistent view of the
// table). The sort happens in SQLite with a collation of this connection
// that follows the user's language (any alphabet, letter case aside unless
// asked for); rows that sort alike keep the table's order.
class ReportQuery
{
    Q_DECLARE_TR_FUNCTIONS(ReportQuery)

public:
    struct Result
    {
        std::shared_ptr<const ReportRows> rows;
        QString error; // names the database file and what went wrong
    };

    static Result run(const ReportDefinition &definition);
};
