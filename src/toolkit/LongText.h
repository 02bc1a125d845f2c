#pragma once

#include <QChar>
#include <QString>

// A text as a message box or a caption shows it: whole up to `limit`
// characters; a longer one as its beginning and its end around an ellipsis.
// Laying out a megabyte of text holds the window for many seconds, and no
// box shows that much anyway. Surrogate pairs are never cut in two.
inline QString shortenedForDisplay(const QString &text, qsizetype limit = 2000)
{
    if (text.size() <= limit)
        return text;
    qsizetype head = limit * 3 / 4;
    if (text.at(head - 1).isHighSurrogate())
        --head;
    qsizetype tailStart = text.size() - (limit - head);
    if (text.at(tailStart).isLowSurrogate())
        ++tailStart;
    return text.left(head) + QChar(0x2026) + text.mid(tailStart);
}
