#pragma once

#include "report/ReportEngine.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QVariant>

class Dialogs;
class Printer;
class ReportWindow;

// The report control: a non-visual part of a window that produces reports.
// It is driven by assigning its members by number:
//
//   3   ReportFile  the path of the report definition file (text)
//   34  FreshData   read the rows afresh on every run (true or false)
//   17  Action      1 produces the report (a whole number)
//
// Producing opens a report window; a definition or database that cannot be
// used is told to the user in a message naming the file and the problem.
// The report windows belong to the control and close with it.
class ReportControl : public QObject
{
    Q_OBJECT

public:
    enum Member : int {
        ReportFile = 3,
        Action = 17,
        FreshData = 34,
    };
    static constexpr int RunReport = 1;

    ReportControl(Dialogs &dialogs, Printer &printer, QObject *parent = nullptr);
    ~ReportControl() override;

    // False when the member is unknown or the value is not of its kind, and
    // for an action that did not produce a report; lastError() says why.
    bool assign(int member, const QVariant &value);

    QString reportFile() const { return m_reportFile; }
    bool freshData() const { return m_freshData; }
    QString lastError() const { return m_lastError; }
    // How long producing a report runs before its progress shows.
    int progressDelayMs = 500;

    // The report windows still open, oldest first.
    QList<ReportWindow *> windows() const;

Q_SIGNALS:
    // Every assignment, accepted or not, as it was made.
    void assigned(int member, const QVariant &value);

private:
    bool runReport();
    bool refuse(const QString &error);

    Dialogs &m_dialogs;
    Printer &m_printer;
    ReportEngine m_engine;
    QString m_reportFile;
    bool m_freshData = false;
    QString m_lastError;
    QList<QPointer<ReportWindow>> m_windows;
};
