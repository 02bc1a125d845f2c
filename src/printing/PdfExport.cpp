#include "PdfExport.h"

#include "toolkit/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>

namespace {

// Keeps the wait cursor up while a long document is written.
struct WaitCursor
{
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

PdfExport::PdfExport(Dialogs &dialogs, const QString &what, const QString &boxTitle)
    : m_dialogs(dialogs)
    , m_what(what)
    , m_boxTitle(boxTitle)
{
}

QString PdfExport::save(const Writer &write, const QString &suggestedName) const
{
    const QString path = m_dialogs.saveFileName(tr("Save the %1 as PDF").arg(m_what), suggestedPath(suggestedName),
                                                tr("PDF files (*.pdf)"));
    if (path.isEmpty())
        return QString();

    PrintResult written;
    {
        WaitCursor wait;
        written = write(path);
    }
    if (written.cancelled)
        return QString();
    if (!written) {
        m_dialogs.messageBox(tr("The %1 could not be saved as a PDF file: %2").arg(m_what, written.error),
                             MsgBox::OkOnly, m_boxTitle);
        return QString();
    }
    m_dialogs.messageBox(tr("The %1 was saved as %2.").arg(m_what, QDir::toNativeSeparators(path)), MsgBox::OkOnly,
                         m_boxTitle);
    return path;
}

QString PdfExport::offerAfterPrintFailure(const Writer &write, const QString &reason,
                                          const QString &suggestedName) const
{
    const int answer = m_dialogs.messageBox(
        tr("The %1 could not be printed: %2\n\nDo you want to save it as a PDF file instead?").arg(m_what, reason),
        MsgBox::YesNoExclamation, m_boxTitle);
    if (answer != MsgBox::Yes)
        return QString();
    return save(write, suggestedName);
}

QString PdfExport::suggestedPath(const QString &name)
{
    QString file;
    for (const QChar c : name.trimmed()) {
        const bool refused = c.category() == QChar::Other_Control || QStringLiteral("/\\:*?\"<>|").contains(c);
        file.append(refused ? QLatin1Char('_') : c);
    }
    if (file.isEmpty() || file.startsWith(QLatin1Char('.')))
        file.prepend(tr("untitled"));
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    return QDir(folder).filePath(file + QStringLiteral(".pdf"));
}
