#include "ReportProgressDialog.h"

#include <QProgressDialog>
#include <QWidget>

namespace {
constexpr int EventsEveryMs = 50;
}

ReportProgressDialog::ReportProgressDialog(QWidget *parent, int delayMs)
    : m_parent(parent)
    , m_delayMs(delayMs)
{
    m_started.start();
    m_lastEvents.start();
}

ReportProgressDialog::~ReportProgressDialog()
{
    delete m_dialog.data();
}

bool ReportProgressDialog::advance(Stage stage, qint64 done, qint64 total)
{
    if (m_cancelled)
        return false;
    if (m_lastEvents.elapsed() < EventsEveryMs && done > 0)
        return true;
    m_lastEvents.restart();

    if (!m_dialog && m_started.elapsed() >= m_delayMs) {
        m_dialog = new QProgressDialog(m_parent);
        m_dialog->setObjectName(QStringLiteral("reportProgress"));
        m_dialog->setWindowTitle(tr("Report"));
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setMinimumDuration(0);
        m_dialog->show();
    }
    if (m_dialog) {
        QString label;
        switch (stage) {
        case Stage::Reading:
            label = tr("Reading the rows...");
            break;
        case Stage::Sorting:
            label = tr("Sorting the rows...");
            break;
        case Stage::LayingOut:
            label = tr("Laying out the pages...");
            break;
        case Stage::Writing:
            label = tr("Page %1 of %2...").arg(done + 1).arg(total);
            break;
        }
        m_dialog->setLabelText(label);
        m_dialog->setMaximum(int(std::min<qint64>(total, INT_MAX)));
        m_dialog->setValue(int(std::min<qint64>(done, INT_MAX)));
    }
    QCoreApplication::processEvents();
    if (m_dialog && m_dialog->wasCanceled())
        m_cancelled = true;
    return !m_cancelled;
}
