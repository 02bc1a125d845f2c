#pragma once

#include <QList>
#include <QStringView>

#include <memory>

// How wide a text is on paper, in points, when it takes one line: what it
// takes with the shapes of its glyphs, not the sum of its characters.
class TextMeasure
{
public:
    virtual ~TextMeasure() = default;
    virtual qreal advance(QStringView text) const = 0;

    // How many UTF-16 units from the start of `text` fit into `width`, as
    // advance() measures them, where the measure can tell that faster than
    // by measuring pieces of it; else -1.
    virtual qsizetype fittingLength(QStringView, qreal) const { return -1; }

    // A measure of the same widths for another thread, or none when this
    // one may be used on any thread; and learning what such a copy learnt.
    virtual std::unique_ptr<TextMeasure> copy() const { return nullptr; }
    virtual void adopt(const TextMeasure &) const {}
};

// One line of a wrapped text: a piece of it, with an ellipsis after it when
// the text goes on but no line is left for it.
struct TextLine
{
    qsizetype start = 0;
    qsizetype length = 0;
    bool elided = false;

    friend bool operator==(const TextLine &, const TextLine &) = default;
};

// The ellipsis that ends a text cut short.
inline constexpr QChar Ellipsis = QChar(0x2026);

// Breaks `text` into at most `maxLines` lines no wider than `width`: at a
// line feed, else after the last blank that fits, else inside a word too
// long for a line (between two characters as the reader sees them). A line
// is measured as its words and blanks, each measured alone: a measure
// that counts the shapes of glyphs gives a line no more room than that.
// The blanks at a break are dropped. When text remains
// after the last line, that line is shortened so that an ellipsis fits
// after it. An empty text is one empty line.
QList<TextLine> wrapText(QStringView text, qreal width, int maxLines, const TextMeasure &measure);
