#pragma once

#include "toolkit/Printer.h"

#include <QImage>
#include <QList>
#include <QStringList>

// A printer for the tests: each page of each job is painted on an image at
// 96 dots per inch (a window's logical pixel is then one image pixel), and
// failures can be scripted.
class CapturingPrinter final : public Printer
{
public:
    struct Job {
        QString title;
        QPageLayout layout;
        QRect paintRect; // the printable area within each page image
        QList<QImage> pages;
    };

    static constexpr int Dpi = 96;

    // The next print fails with this reason and captures nothing.
    void failNext(const QString &reason) { m_failures.append(reason); }

    using Printer::print;
    PrintResult print(const PrintDocument &document, const PageProgress &progress) override;

    const QList<Job> &jobs() const { return m_jobs; }
    int attempts() const { return m_attempts; }

private:
    QStringList m_failures;
    QList<Job> m_jobs;
    int m_attempts = 0;
};
