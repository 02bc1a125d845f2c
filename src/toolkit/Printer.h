#pragma once

#include <QPageLayout>
#include <QString>

#include <functional>

class QPainter;
class QRectF;

// Something to put on paper page by page: the image of a window, a report.
// Pages are painted on demand, so a long document costs the memory of one page.
class PrintDocument
{
public:
    virtual ~PrintDocument() = default;

    // The name a print queue or a PDF viewer shows.
    virtual QString title() const = 0;
    virtual int pageCount() const = 0;
    // The paper, orientation and margins the document was laid out for.
    virtual QPageLayout pageLayout() const = 0;
    // Paints page `index` (from 0) into `area`, the printable part of the
    // page in the painter's device coordinates. The painter's state is saved
    // and restored around each call.
    virtual void paintPage(int index, QPainter &painter, const QRectF &area) const = 0;
};

// How sending a document somewhere went; `error` says why not, for the user.
struct PrintResult
{
    bool ok = false;
    QString error;
    bool cancelled = false; // the user stopped it: nothing to tell

    explicit operator bool() const { return ok; }
};

// Told before each page (from 0) of a document goes out; false stops the
// job, which is then cancelled as a whole.
using PageProgress = std::function<bool(int page, int pageCount)>;

// The system's default printer: documents go to it as they are, with no
// dialog. A failure is always reported, never taken for success.
class Printer
{
public:
    virtual ~Printer() = default;

    virtual PrintResult print(const PrintDocument &document, const PageProgress &progress) = 0;
    PrintResult print(const PrintDocument &document) { return print(document, PageProgress()); }
};

class QPagedPaintDevice;

// Paints every page of a document on a paged device (a printer, a PDF
// writer) that has not been painted on yet, so that paper and PDF files
// carry the same pages. A device that refuses to begin or to start a new
// page makes it fail with `refused` as the reason; a progress that says
// stop makes it end as cancelled.
PrintResult paintDocument(const PrintDocument &document, QPagedPaintDevice &device, const QString &refused,
                          const PageProgress &progress = PageProgress());
