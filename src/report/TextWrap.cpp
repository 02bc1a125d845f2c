#include "TextWrap.h"

#include <algorithm>
#include <vector>

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// Whether a reader's character (a letter with its marks, a conjunct, a
// surrogate pair) starts at `at`.
bool startsCharacter(QStringView text, qsizetype at)
{
    const QChar c = text[at];
    if (c.isLowSurrogate() || c.isMark() || c.unicode() == 0x200C || c.unicode() == 0x200D)
        return false;
    const QChar before = text[at - 1];
    // After a virama (or a joiner) the next consonant belongs to the conjunct.
    return before.unicode() != 0x200D && before.combiningClass() != 9;
}

// The longest piece of text[start, end) that starts at `start`, ends
// between two characters as the reader sees them (see startsCharacter())
// and fits into `width`; at least one such character, even when it does
// not fit.
qsizetype fittingLength(QStringView text, qsizetype start, qsizetype end, qreal width, const TextMeasure &measure)
{
    if (const qsizetype fitting = measure.fittingLength(text.sliced(start, end - start), width); fitting >= 0)
        return std::max<qsizetype>(fitting, 1);
    std::vector<qsizetype> bounds; // ends of characters, from `start`
    for (qsizetype at = start + 1; at < end; ++at) {
        if (startsCharacter(text, at))
            bounds.push_back(at - start);
    }
    bounds.push_back(end - start);
    // The widths grow with the length: the last bound that fits.
    size_t low = 0;
    size_t high = bounds.size();
    while (low + 1 < high) {
        const size_t middle = (low + high) / 2;
        if (measure.advance(text.sliced(start, bounds[middle])) <= width)
            low = middle;
        else
            high = middle;
    }
    return bounds[low];
}

} // namespace

QList<TextLine> wrapText(QStringView text, qreal width, int maxLines, const TextMeasure &measure)
{
    QList<TextLine> lines;
    const qsizetype size = text.size();
    qsizetype pos = 0;
    qsizetype paragraphEnd = 0;
    while (lines.size() < maxLines && (pos < size || lines.isEmpty())) {
        paragraphEnd = text.indexOf(QLatin1Char('\n'), pos);
        if (paragraphEnd < 0)
            paragraphEnd = size;
        if (measure.advance(text.sliced(pos, paragraphEnd - pos)) <= width) {
            lines.append({pos, paragraphEnd - pos, false});
            pos = paragraphEnd < size ? paragraphEnd + 1 : size;
            continue;
        }
        // Break at the last blank before which the line fits: words are
        // added while they fit, each measured once (a line is never less
        // wide than its words and blanks together).
        qsizetype lineEnd = -1;
        qreal used = 0;
        for (qsizetype at = pos; at < paragraphEnd;) {
            qsizetype wordEnd = at;
            while (wordEnd < paragraphEnd && !isBlank(text[wordEnd]))
                ++wordEnd;
            used += measure.advance(text.sliced(at, wordEnd - at));
            if (used > width)
                break;
            lineEnd = wordEnd;
            at = wordEnd;
            while (at < paragraphEnd && isBlank(text[at]))
                ++at;
            used += measure.advance(text.sliced(lineEnd, at - lineEnd));
        }
        // ...or inside a word too long for a line.
        if (lineEnd < 0) {
            qsizetype wordEnd = pos;
            while (wordEnd < paragraphEnd && !isBlank(text[wordEnd]))
                ++wordEnd;
            lineEnd = pos + fittingLength(text, pos, wordEnd, width, measure);
        }
        qsizetype next = lineEnd;
        while (next < paragraphEnd && isBlank(text[next]))
            ++next;
        lines.append({pos, lineEnd - pos, false});
        pos = next;
        if (pos == paragraphEnd && paragraphEnd < size)
            ++pos; // the line feed itself
    }
    if (pos >= size)
        return lines;

    // Text remains: the last line takes what fits of its paragraph, then the ellipsis.
    TextLine &last = lines.last();
    const qreal room = width - measure.advance(QStringView(&Ellipsis, 1));
    const qsizetype end = qMax(paragraphEnd, last.start + last.length);
    qsizetype keep = 0;
    if (room > 0) {
        keep = fittingLength(text, last.start, end, room, measure);
        if (measure.advance(text.sliced(last.start, keep)) > room)
            keep = 0;
    }
    while (keep > 0 && isBlank(text[last.start + keep - 1]))
        --keep;
    last.length = keep;
    last.elided = true;
    return lines;
}
