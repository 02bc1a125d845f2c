#pragma once

#include "FontFaces.h"

#include <QFont>
#include <QHash>
#include <QPointF>
#include <QString>

#include <memory>
#include <vector>

// Glyphs of one face, one after the other in a shaped line.
struct ShapedRun
{
    int face = 0;
    int first = 0; // into the line's glyphs
    int count = 0;
};

// Glyphs that together stand for a piece of text which the faces' own
// record of their glyphs cannot tell: a conjunct, a mirrored bracket.
struct TextSpan
{
    int first = 0; // into the line's glyphs
    int count = 0;
    QString text;
};

// One line of text as drawn: glyphs in visual order, left to right, each
// with its place from the start of the line on the baseline, per point of
// font size. Every glyph stands for the characters its face records for it
// (FontFaces::claim), except those in a span, which stand for its text
// together.
struct ShapedLine
{
    QString text; // what the line says, in logical order (an ellipsis included)
    std::vector<quint32> glyphs;
    std::vector<QPointF> positions;
    std::vector<float> advances; // of each glyph, per point of font size
    std::vector<ShapedRun> runs;
    std::vector<TextSpan> spans; // in the order of their glyphs
    qreal advance = 0;  // where the pen ends
    qreal inkLeft = 0;  // the leftmost and rightmost ink, from the start
    qreal inkRight = 0;
    bool rightToLeft = false; // the value reads from right to left

    // The room the line takes: pen and ink, from its start.
    qreal left() const { return inkLeft < 0 ? inkLeft : 0; }
    qreal right() const { return inkRight > advance ? inkRight : advance; }
    void clear();
};

// Shapes text in one style of the report's font, as Qt's text layout does
// (with the same fallback faces, ligatures, conjuncts and right-to-left
// order), for measuring and drawing lines of values.
//
// Qt is asked once per character or word, not per value: characters of the
// scripts that take one glyph each (Latin, Greek, Cyrillic, Han, kana,
// Hangul and the common signs) are placed from a table of their glyphs and
// advances, which is what Qt's layout does with them given this font
// (no kerning, no optional ligatures); other words (Arabic, Devanagari,
// marks, ...) are shaped by Qt whole and kept. Words are ordered on the line
// by the Unicode bidirectional rules applied to whole words and digit runs.
class TextShaper
{
public:
    TextShaper(const QFont &font, FontFaces &faces);
    // A shaper for another thread: it knows what this one knows so far, and
    // learns on its own from then on (the faces are shared).
    TextShaper(const TextShaper &other);
    TextShaper &operator=(const TextShaper &) = delete;
    ~TextShaper();

    // Learns what `other`, a copy of this one, learnt since.
    void adopt(const TextShaper &other) const;

    // The width per point of font size that `text` takes on one line, the
    // ink of its glyphs included; never less than the line shape() makes
    // of it (in the direction readsRightToLeft() gives it).
    qreal width(QStringView text) const;

    // How many UTF-16 units from the start of `text` fit into `width` (per
    // point), as width() measures them, for text that takes one glyph a
    // character; -1 for other text.
    qsizetype fittingLength(QStringView text, qreal width) const;

    // Shapes `text` (one line without line feeds), followed by an ellipsis
    // if asked, as part of a value that reads right to left or not.
    void shape(QStringView text, bool ellipsis, bool rightToLeft, ShapedLine &line) const;

    const FontFaces &faces() const { return m_faces; }

    // As readsRightToLeft(), faster for the characters known here.
    bool readsRightToLeft(QStringView text) const;

private:
    // A character of the one-glyph scripts: its face, glyph and extents.
    struct Glyph
    {
        enum Kind : quint8 { Unknown, Single, Shaped };

        quint32 index = 0;
        float advance = 0;  // per point of font size
        float inkLeft = 0;  // from the pen
        float inkRight = 0;
        float widest = 0;   // the advance, or the mirrored character's when wider
        qint16 face = -1;
        Kind kind = Unknown;
        bool ownsGlyph = false; // the face's glyph stands for this character alone
        bool leftToRight = false; // a letter that reads left to right
    };
    struct Word;
    struct Item;

    const Glyph &glyph(char16_t unit) const
    {
        const Glyph &known = m_glyphs[unit];
        return known.kind != Glyph::Unknown ? known : lookUp(unit);
    }
    const Glyph &lookUp(char16_t unit) const;
    const Word &word(QStringView text, bool rightToLeft) const;
    // Where the word starting at `at` ends; `single` turns false when one
    // of its characters is not in the table.
    qsizetype endOfWord(QStringView text, qsizetype at, bool &single) const;
    qreal placeWord(const Word &word, qreal x, ShapedLine &line) const;
    // Places a character of the one-glyph scripts at `x`, turned round if
    // `mirrored` (a bracket drawn right to left); its advance.
    qreal placeCharacter(QChar c, bool mirrored, qreal x, ShapedLine &line) const;
    void shapeInOrder(QStringView text, ShapedLine &line) const;
    void shapeBidirectional(QStringView text, bool rightToLeft, ShapedLine &line) const;

    QFont m_font;     // for single characters
    QFont m_wordFont; // for words, shaped whole
    FontFaces &m_faces;
    mutable std::vector<Glyph> m_glyphs; // by UTF-16 unit, filled on first use
    // Words shaped so far, in left-to-right and right-to-left lines, each by
    // its own text; shared with copies.
    using Words = QHash<QStringView, std::shared_ptr<const Word>>;
    mutable Words m_words[2];
    size_t cachedWords() const { return size_t(m_words[0].size() + m_words[1].size()); }
};

// True when the first letter of `text` with a direction reads right to left.
bool readsRightToLeft(QStringView text);
