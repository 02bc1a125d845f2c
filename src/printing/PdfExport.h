#pragma once

#include "toolkit/Printer.h"

#include <QCoreApplication>
#include <QString>

#include <functional>

class Dialogs;

// Saving a card or a report as a PDF file for the user: asks where, writes
// the file and says how it went, in message boxes with the given title.
class PdfExport
{
    Q_DECLARE_TR_FUNCTIONS(PdfExport)

public:
    // Writes the document to the path given.
    using Writer = std::function<PrintResult(const QString &path)>;

    // What is saved: the messages name it in sentences of their own.
    enum class Document { Card, Report };

    PdfExport(Dialogs &dialogs, Document document);

    // The path written, or an empty text when the user cancelled or the
    // file could not be written (the user has been told why).
    QString save(const Writer &write, const QString &suggestedName) const;

    // After a print that failed: says why and offers the PDF file instead.
    QString offerAfterPrintFailure(const Writer &write, const QString &reason, const QString &suggestedName) const;

    // A file name made of `name` (characters that file systems refuse
    // replaced), in the user's documents folder, ending in ".pdf".
    static QString suggestedPath(const QString &name);

private:
    // Whole sentences for each document, so that a translation can word
    // each in its own order; %1 is the path or the reason.
    struct Texts {
        QString boxTitle;
        QString saveCaption;
        QString notSaved;
        QString saved;
        QString notPrinted;
    };
    static Texts textsFor(Document document);

    Dialogs &m_dialogs;
    Texts m_texts;
};
