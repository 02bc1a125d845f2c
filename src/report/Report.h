#pragma once

#include "ReportDefinition.h"
#include "ReportFonts.h"
#include "ReportLayout.h"
#include "ReportRows.h"

#include <QDateTime>

#include <memory>

// A report as produced: what it was made from, its rows and where they go.
// Shared, unchanged, by the window that shows it and every print or PDF.
struct Report
{
    ReportDefinition definition;
    std::shared_ptr<const ReportRows> rows;
    std::shared_ptr<const ReportFonts> fonts;
    ReportLayout layout;
    QDateTime producedAt;

    int pageCount() const { return int(layout.pages.size()); }
};
