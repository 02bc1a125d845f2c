#include "TextWrap.h"

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// How many characters from `start` (before `end`) fit into `width`, never
// splitting a surrogate pair and always at least one character.
qsizetype fittingLength(QStringView text, qsizetype start, qsizetype end, qreal width, const TextMeasure &measure)
{
    qreal used = 0;
    qsizetype at = start;
    while (at < end) {
        const qsizetype size = (text[at].isHighSurrogate() && at + 1 < end) ? 2 : 1;
        used += measure.advance(text.sliced(at, size));
        if (used > width)
            break;
        at += size;
    }
    if (at == start)
        at = qMin(end, start + ((text[start].isHighSurrogate() && start + 1 < end) ? 2 : 1));
    return at - start;
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
        const QStringView paragraph = text.sliced(pos, paragraphEnd - pos);
        if (measure.advance(paragraph) <= width) {
            lines.append({pos, paragraph.size(), false});
            pos = paragraphEnd < size ? paragraphEnd + 1 : size;
            continue;
        }
        const qsizetype fit = fittingLength(text, pos, paragraphEnd, width, measure);
        qsizetype lineEnd = pos + fit;
        qsizetype next = lineEnd;
        // Break after the last blank that fits (a blank just past the fit counts).
        for (qsizetype at = qMin(pos + fit, paragraphEnd - 1); at > pos; --at) {
            if (isBlank(text[at])) {
                lineEnd = at;
                next = at;
                break;
            }
        }
        while (lineEnd > pos && isBlank(text[lineEnd - 1]))
            --lineEnd;
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
    if (room > 0 && measure.advance(text.sliced(last.start, 1)) <= room)
        keep = fittingLength(text, last.start, end, room, measure);
    while (keep > 0 && isBlank(text[last.start + keep - 1]))
        --keep;
    last.length = keep;
    last.elided = true;
    return lines;
}
