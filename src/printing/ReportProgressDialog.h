#pragma once

#include "report/ReportProgress.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>

class QProgressDialog;
class QWidget;

// Progress of a report's work for the user: a modal progress box
// with Cancel, shown only once the work has taken longer than `delayMs`,
// so that a short run shows nothing. The events of the program are handled
// meanwhile, a few times a second.
class ReportProgressDialog final : public ReportProgress
{
    Q_DECLARE_TR_FUNCTIONS(ReportProgressDialog)

public:
    static constexpr int DefaultDelayMs = 500;

    explicit ReportProgressDialog(QWidget *parent, int delayMs = DefaultDelayMs);
    ~ReportProgressDialog() override;

    bool advance(Stage stage, qint64 done, qint64 total) override;
    bool wasCancelled() const { return m_cancelled; }

private:
    QWidget *m_parent;
    int m_delayMs;
    QElapsedTimer m_started;
    QElapsedTimer m_lastEvents;
    QPointer<QProgressDialog> m_dialog;
    bool m_cancelled = false;
};
