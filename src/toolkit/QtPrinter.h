#pragma once

#include "Printer.h"

// The system's default printer through Qt's print support.
class QtPrinter final : public Printer
{
public:
    using Printer::print;
    PrintResult print(const PrintDocument &document, const PageProgress &progress) override;
};
