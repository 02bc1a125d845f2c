#pragma once

#include "toolkit/Printer.h"

#include <QCoreApplication>

class ReportDocument;
class ReportProgress;

// The report as a PDF file, for every script: each line of a value is
// drawn as the glyphs it was shaped into (the same as on screen), in the
// faces Qt chose for it, each embedded as a subset of the glyphs used. The
// text reads back from the file as it is stored: glyphs that stand for one
// character each tell it through the font's ToUnicode map, any other line
// (ligatures, conjuncts, Arabic, right-to-left order) carries its text
// along as ActualText. Pages are composed and compressed on every core, a
// few dozen at a time, and written in order.
class ReportPdf
{
    Q_DECLARE_TR_FUNCTIONS(ReportPdf)

public:
    // A cancelled write leaves no file behind (and an older one as it was).
    static PrintResult write(const ReportDocument &document, const QString &path, ReportProgress &progress);
    static PrintResult write(const ReportDocument &document, const QString &path);
};
