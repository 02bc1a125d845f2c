#include "QtPrinter.h"

#include <QCoreApplication>
#include <QPrinter>
#include <QPrinterInfo>

namespace {
constexpr int ScreenResolution = 96;
}

PrintResult QtPrinter::print(const PrintDocument &document, const PageProgress &progress)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        return {false, QCoreApplication::translate("QtPrinter", "No default printer is set up on this computer.")};
    }
    // A stopped (paused) queue would keep the job without printing it.
    if (info.state() == QPrinter::Error) {
        return {false, QCoreApplication::translate("QtPrinter", "The printer %1 is stopped or paused.")
                           .arg(info.printerName())};
    }

    QPrinter printer(info, QPrinter::HighResolution);
    // The job goes to the print server as PDF, as sharp at any resolution;
    // in the screen's (1/96 inch) a window's picture keeps its text.
    printer.setResolution(ScreenResolution);
    printer.setDocName(document.title());
    // A paper size the printer lacks keeps its own; the pages scale to fit.
    printer.setPageLayout(document.pageLayout());
    const QString refused = QCoreApplication::translate("QtPrinter", "The printer %1 did not accept the job.")
                                .arg(info.printerName());
    PrintResult result = paintDocument(document, printer, refused, progress);
    if (result.cancelled)
        printer.abort();
    else if (result && printer.printerState() == QPrinter::Error)
        result = {false, refused};
    return result;
}
