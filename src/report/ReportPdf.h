#pragma once

#include "toolkit/Printer.h"

#include <QCoreApplication>

class ReportDocument;

// The report as a PDF file. Qt's PDF writer places every glyph on its own
// and takes some twenty seconds for a hundred thousand rows; this writer
// puts each line of a value as one string in the report's two faces,
// embedded whole, and is several times faster. It serves whenever all the
// report's text is direct in those faces (Latin, Greek, Cyrillic, the
// common signs); otherwise Qt's writer, with its font fallback, does.
class ReportPdf
{
    Q_DECLARE_TR_FUNCTIONS(ReportPdf)

public:
    static PrintResult write(const ReportDocument &document, const QString &path);

    // The parts, for the tests: whether the direct writer can serve, and
    // the direct writer itself.
    static bool canWriteDirectly(const ReportDocument &document);
    static PrintResult writeDirectly(const ReportDocument &document, const QString &path);
};
