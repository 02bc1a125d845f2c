#include "ReportControl.h"

#include "ReportProgressDialog.h"
#include "ReportWindow.h"
#include "report/Report.h"
#include "toolkit/Dialogs.h"

#include <QApplication>
#include <QMetaType>

namespace {

bool isWholeNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return true;
    default:
        return false;
    }
}

} // namespace

ReportControl::ReportControl(Dialogs &dialogs, Printer &printer, QObject *parent)
    : QObject(parent)
    , m_dialogs(dialogs)
    , m_printer(printer)
{
}

ReportControl::~ReportControl()
{
    for (const QPointer<ReportWindow> &window : std::as_const(m_windows))
        delete window.data();
}

bool ReportControl::assign(int member, const QVariant &value)
{
    Q_EMIT assigned(member, value);
    m_lastError.clear();
    switch (member) {
    case ReportFile:
        if (value.typeId() != QMetaType::QString)
            return refuse(tr("The report file must be given as a text."));
        m_reportFile = value.toString();
        return true;
    case FreshData:
        if (value.typeId() != QMetaType::Bool)
            return refuse(tr("Fresh data must be given as true or false."));
        m_freshData = value.toBool();
        return true;
    case Action:
        if (!isWholeNumber(value) || value.toLongLong() != RunReport)
            return refuse(tr("The report control has no action %1.").arg(value.toString()));
        return runReport();
    default:
        return refuse(tr("The report control has no member %1.").arg(member));
    }
}

QList<ReportWindow *> ReportControl::windows() const
{
    QList<ReportWindow *> open;
    for (const QPointer<ReportWindow> &window : m_windows) {
        if (window)
            open.append(window.data());
    }
    return open;
}

bool ReportControl::runReport()
{
    if (m_reportFile.isEmpty()) {
        m_lastError = tr("No report definition file was given to the report control.");
        m_dialogs.messageBox(m_lastError, MsgBox::OkOnly, tr("Report"));
        return false;
    }

    ReportEngine::Produced produced;
    {
        ReportProgressDialog progress(nullptr, progressDelayMs);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        produced = m_engine.produce(m_reportFile, m_freshData, progress);
        QApplication::restoreOverrideCursor();
    }
    if (produced.cancelled) {
        m_lastError = tr("The report was cancelled.");
        return false;
    }
    if (!produced.report) {
        m_lastError = produced.error;
        m_dialogs.messageBox(produced.error, MsgBox::OkOnly, tr("Report"));
        return false;
    }

    m_windows.removeIf([](const QPointer<ReportWindow> &w) { return w.isNull(); });
    auto *window = new ReportWindow(produced.report, m_dialogs, m_printer);
    m_windows.append(window);
    window->show();
    window->raise();
    window->activateWindow();
    return true;
}

bool ReportControl::refuse(const QString &error)
{
    m_lastError = error;
    qWarning("%s", qPrintable(error));
    return false;
}
