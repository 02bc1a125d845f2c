#include "ReportWindow.h"

#include "PdfExport.h"
#include "ReportPageView.h"
#include "ReportProgressDialog.h"
#include "report/Report.h"
#include "report/ReportPdf.h"
#include "toolkit/Pictures.h"
#include "toolkit/Printer.h"
#include "toolkit/WindowTitle.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

ReportWindow::ReportWindow(std::shared_ptr<const Report> report, Dialogs &dialogs, Printer &printer)
    : QWidget(nullptr)
    , m_document(std::move(report))
    , m_dialogs(dialogs)
    , m_printer(printer)
{
    setObjectName(QStringLiteral("ReportWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(windowTitleShowing(tr("%1 - Report").arg(m_document.title())));

    cmdPrint = new QPushButton(Pictures::buttonIcon(QStringLiteral("print")), tr("&Print"), this);
    cmdPrint->setObjectName(QStringLiteral("cmdPrint"));
    cmdSavePdf = new QPushButton(Pictures::buttonIcon(QStringLiteral("save")), tr("Save as P&DF..."), this);
    cmdSavePdf->setObjectName(QStringLiteral("cmdSavePdf"));
    lblPage = new QLabel(this);
    lblPage->setObjectName(QStringLiteral("lblPage"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    pageView = new ReportPageView(m_document, this);
    pageView->setAccessibleName(tr("Report pages"));

    auto *bar = new QHBoxLayout;
    bar->addWidget(cmdPrint);
    bar->addWidget(cmdSavePdf);
    bar->addSpacing(16);
    bar->addWidget(lblPage);
    bar->addStretch(1);
    bar->addWidget(lblStatus);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(bar);
    layout->addWidget(pageView, 1);

    // Most of the screen: a page across is worth the room.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        resize(available.width() * 9 / 10, available.height() * 9 / 10);
        move(available.center() - rect().center());
    }

    showPageNumber(0);
    connect(pageView, &ReportPageView::currentPageChanged, this, &ReportWindow::showPageNumber);
    connect(cmdPrint, &QPushButton::clicked, this, &ReportWindow::cmdPrint_Click);
    connect(cmdSavePdf, &QPushButton::clicked, this, &ReportWindow::cmdSavePdf_Click);
    pageView->setFocus();
}

void ReportWindow::showPageNumber(int index)
{
    const qsizetype rows = m_document.report().rows->rowCount();
    lblPage->setText(tr("Page %1 of %2 (%3 rows)")
                         .arg(index + 1)
                         .arg(m_document.pageCount())
                         .arg(QLocale().toString(qint64(rows))));
}

PdfExport::Writer ReportWindow::pdfWriter()
{
    return [this](const QString &path) {
        ReportProgressDialog progress(this, progressDelayMs);
        return ReportPdf::write(m_document, path, progress);
    };
}

void ReportWindow::cmdPrint_Click()
{
    lblStatus->clear();
    PrintResult printed;
    {
        ReportProgressDialog progress(this, progressDelayMs);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        printed = m_printer.print(m_document, [&progress](int page, int pages) {
            return progress.advance(ReportProgress::Stage::Writing, page, pages);
        });
        QApplication::restoreOverrideCursor();
    }
    if (printed) {
        lblStatus->setText(tr("Sent to the printer."));
        return;
    }
    if (printed.cancelled) {
        lblStatus->setText(tr("Printing cancelled."));
        return;
    }
    const QString saved = PdfExport(m_dialogs, PdfExport::Document::Report)
                              .offerAfterPrintFailure(pdfWriter(), printed.error, m_document.title());
    lblStatus->setText(saved.isEmpty() ? tr("Not printed.") : tr("Not printed; saved as a PDF file."));
}

void ReportWindow::cmdSavePdf_Click()
{
    lblStatus->clear();
    const QString saved = PdfExport(m_dialogs, PdfExport::Document::Report).save(pdfWriter(), m_document.title());
    if (!saved.isEmpty())
        lblStatus->setText(tr("Saved as a PDF file."));
}
