#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// Checks a contact database without writing to it: SQLite's integrity
// check, Table1, and whether every stored name can be found by name. The
// report gives counts.
class DatabaseCheck
{
    Q_DECLARE_TR_FUNCTIONS(DatabaseCheck)

public:
    // False when something is wrong; problem() then says what.
    bool run(const QString &path);
    QStringList report() const { return m_report; }
    QString problem() const { return m_problem; }

private:
    QStringList m_report;
    QString m_problem;
};
