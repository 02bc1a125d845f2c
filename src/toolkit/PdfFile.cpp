#include "PdfFile.h"

#include "files/AtomicFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QPdfWriter>

PrintResult writePdf(const PrintDocument &document, const QString &path)
{
    const QString shownPath = QDir::toNativeSeparators(path);
    AtomicFile file(path); // readable by its owner only, unless it replaces a file
    if (!file.open()) {
        return {false, QCoreApplication::translate("PdfFile", "%1 cannot be written: %2.")
                           .arg(shownPath, file.errorString())};
    }

    PrintResult result;
    {
        QPdfWriter writer(file.device());
        // Vector output at any resolution; in the screen's (1/96 inch) a
        // window's picture keeps its text.
        writer.setResolution(96);
        writer.setTitle(document.title());
        writer.setCreator(QStringLiteral("Merivo"));
        writer.setPageLayout(document.pageLayout());
        result = paintDocument(document, writer,
                               QCoreApplication::translate("PdfFile", "%1 could not be written.").arg(shownPath));
    }
    if (!result)
        return result;
    if (!file.commit()) {
        return {false, QCoreApplication::translate("PdfFile", "%1 cannot be written: %2.")
                           .arg(shownPath, file.errorString())};
    }
    return result;
}
