#pragma once

// What the fuzz targets of the file readers share: a failed check prints
// what broke and the input (escaped, cut at 300 bytes) and aborts, which
// libFuzzer and the replay both report with the input.

#include "contacts/ContactBatch.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void brokenBy(const char *target, const char *what, QByteArrayView input)
{
    QByteArray shown;
    for (const char c : input.first(qMin<qsizetype>(input.size(), 300))) {
        const auto byte = static_cast<unsigned char>(c);
        shown += byte >= 0x20 && byte < 0x7f && byte != '\\' ? QByteArray(1, c)
                                                             : "\\x" + QByteArray::number(byte, 16).rightJustified(2, '0');
    }
    std::fprintf(stderr, "%s: broken: %s\n  input: \"%s\" (%lld bytes)\n", target, what, shown.constData(),
                 static_cast<long long>(input.size()));
    std::abort();
}

// CHECK needs FuzzTarget (the target's name) and FuzzInput (the bytes) in scope.
#define CHECK(condition)                                                                                              \
    do {                                                                                                              \
        if (!(condition))                                                                                             \
            brokenBy(FuzzTarget, #condition, FuzzInput);                                                              \
    } while (false)

// The readers hand out values that share the bytes of the text they read;
// kept beyond it, they need bytes of their own.
inline ContactTexts copied(const ContactTexts &values)
{
    ContactTexts own;
    for (int i = 0; i < ContactFieldCount; ++i)
        own[i] = QByteArray(values[i].constData(), values[i].size());
    return own;
}
