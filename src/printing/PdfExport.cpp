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

PdfExport::PdfExport(Dialogs &dialogs, Document document)
    : m_dialogs(dialogs)
    , m_texts(textsFor(document))
{
}

PdfExport::Texts PdfExport::textsFor(Document document)
{
    if (document == Document::Card) {
        return {tr("Print"), tr("Save the card as PDF"), tr("The card could not be saved as a PDF file: %1"),
                tr("The card was saved as %1."),
                tr("The card could not be printed: %1\n\nDo you want to save it as a PDF file instead?")};
    }
    return {tr("Report"), tr("Save the report as PDF"), tr("The report could not be saved as a PDF file: %1"),
            tr("The report was saved as %1."),
            tr("The report could not be printed: %1\n\nDo you want to save it as a PDF file instead?")};
}

QString PdfExport::save(const Writer &write, const QString &suggestedName) const
{
    const QString path =
        m_dialogs.saveFileName(m_texts.saveCaption, suggestedPath(suggestedName), tr("PDF files (*.pdf)"));
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
        m_dialogs.messageBox(m_texts.notSaved.arg(written.error), MsgBox::OkOnly, m_texts.boxTitle);
        return QString();
    }
    m_dialogs.messageBox(m_texts.saved.arg(QDir::toNativeSeparators(path)), MsgBox::OkOnly, m_texts.boxTitle);
    return path;
}

QString PdfExport::offerAfterPrintFailure(const Writer &write, const QString &reason,
                                          const QString &suggestedName) const
{
    const int answer =
        m_dialogs.messageBox(m_texts.notPrinted.arg(reason), MsgBox::YesNoExclamation, m_texts.boxTitle);
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
