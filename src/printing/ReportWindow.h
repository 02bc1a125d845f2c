#pragma once

#include "PdfExport.h"
#include "report/ReportDocument.h"

#include <QWidget>

#include <memory>

class Dialogs;
class Printer;
class QLabel;
class QPushButton;
class ReportPageView;
struct Report;

// A window showing one produced report, page by page, with Print (to the
// default printer) and Save as PDF. Not modal; each run of the report gets
// a window of its own, deleted when it is closed.
class ReportWindow : public QWidget
{
    Q_OBJECT

public:
    ReportWindow(std::shared_ptr<const Report> report, Dialogs &dialogs, Printer &printer);

    const ReportDocument &document() const { return m_document; }

    void cmdPrint_Click();
    void cmdSavePdf_Click();

    // How long a print or a save runs before its progress shows.
    int progressDelayMs = 500;

    QPushButton *cmdPrint;
    QPushButton *cmdSavePdf;
    QLabel *lblPage;
    QLabel *lblStatus;
    ReportPageView *pageView;

private:
    void showPageNumber(int index);
    PdfExport::Writer pdfWriter();

    ReportDocument m_document;
    Dialogs &m_dialogs;
    Printer &m_printer;
};
