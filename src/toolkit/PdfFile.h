#pragma once

#include "Printer.h"

// Writes a document to a PDF file. The file is replaced only once the whole
// document has been written, so a failure leaves an older file as it was.
PrintResult writePdf(const PrintDocument &document, const QString &path);
