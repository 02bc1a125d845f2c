#include "TextShaper.h"

#include <QGlyphRun>
#include <QTextLayout>

#include <algorithm>

namespace {

// Words kept shaped at most; past that the cache starts again.
constexpr size_t MaxCachedWords = 50000;

constexpr char16_t EllipsisUnit = 0x2026;

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// Characters that Qt's layout draws as one glyph of their own, whatever
// stands around them, in this font: no marks, no joining, no reordering.
bool takesOneGlyph(QChar c)
{
    switch (c.script()) {
    case QChar::Script_Common:
    case QChar::Script_Latin:
    case QChar::Script_Greek:
    case QChar::Script_Cyrillic:
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Hangul:
    case QChar::Script_Bopomofo:
        break;
    default:
        return false;
    }
    if (c.isMark() || c.isSurrogate())
        return false;
    switch (c.category()) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_NotAssigned:
    case QChar::Other_PrivateUse:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return false;
    default:
        break;
    }
    switch (c.direction()) {
    case QChar::DirR:
    case QChar::DirAL:
    case QChar::DirLRE:
    case QChar::DirLRO:
    case QChar::DirRLE:
    case QChar::DirRLO:
    case QChar::DirPDF:
    case QChar::DirLRI:
    case QChar::DirRLI:
    case QChar::DirFSI:
    case QChar::DirPDI:
        return false;
    default:
        return true;
    }
}

// The direction classes the bidirectional ordering of a line works with.
enum class Bidi : quint8 {
    L,  // left to right
    R,  // right to left
    EN, // a number
    N,  // neutral: blanks, punctuation
};

Bidi strongOrNumber(QStringView text)
{
    bool digits = false;
    for (const QChar c : text) {
        switch (c.direction()) {
        case QChar::DirL:
            return Bidi::L;
        case QChar::DirR:
        case QChar::DirAL:
            return Bidi::R;
        case QChar::DirEN:
        case QChar::DirAN:
            digits = true;
            break;
        default:
            break;
        }
    }
    return digits ? Bidi::EN : Bidi::N;
}

// The class of a character of a word that takes one glyph a character.
enum class CharClass : quint8 { L, EN, Separator, Terminator, N };

CharClass classOf(QChar c)
{
    switch (c.direction()) {
    case QChar::DirL:
        return CharClass::L;
    case QChar::DirEN:
    case QChar::DirAN:
        return CharClass::EN;
    case QChar::DirES:
    case QChar::DirCS:
        return CharClass::Separator;
    case QChar::DirET:
        return CharClass::Terminator;
    default:
        return CharClass::N;
    }
}

} // namespace

// A word shaped by Qt's layout, kept for its next use.
struct TextShaper::Word
{
    QString text;
    std::vector<quint32> glyphs;
    std::vector<QPointF> positions; // per point, from the word's start on the baseline
    std::vector<float> advances;
    std::vector<std::pair<float, float>> ink; // per glyph: left and right, from its position
    std::vector<ShapedRun> runs;
    std::vector<TextSpan> spans;
    qreal advance = 0;
    qreal inkLeft = 0;
    qreal inkRight = 0;
    Bidi bidi = Bidi::N;
};

// A piece of a line in the bidirectional ordering: a shaped word, or
// characters of the one-glyph scripts.
struct TextShaper::Item
{
    qsizetype start = 0;
    qsizetype length = 0;
    const Word *word = nullptr;
    Bidi bidi = Bidi::N;
    int level = 0;
};

void ShapedLine::clear()
{
    text.resize(0); // keeps the room for the next line
    glyphs.clear();
    positions.clear();
    advances.clear();
    runs.clear();
    advance = 0;
    inkLeft = 0;
    inkRight = 0;
    spans.clear();
    rightToLeft = false;
}

namespace {

// Adds glyphs of one face at the end of a line.
void place(ShapedLine &line, int face, quint32 glyph, QPointF position, float advance, qreal inkLeft, qreal inkRight)
{
    if (line.runs.empty() || line.runs.back().face != face)
        line.runs.push_back({face, int(line.glyphs.size()), 0});
    ++line.runs.back().count;
    line.glyphs.push_back(glyph);
    line.positions.push_back(position);
    line.advances.push_back(advance);
    if (line.glyphs.size() == 1) {
        line.inkLeft = position.x() + inkLeft;
        line.inkRight = position.x() + inkRight;
    } else {
        line.inkLeft = std::min(line.inkLeft, position.x() + inkLeft);
        line.inkRight = std::max(line.inkRight, position.x() + inkRight);
    }
}

} // namespace

bool readsRightToLeft(QStringView text)
{
    return strongOrNumber(text) == Bidi::R;
}

bool TextShaper::readsRightToLeft(QStringView text) const
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const Glyph &g = glyph(text[i].unicode());
        if (g.kind == Glyph::Single) {
            if (g.leftToRight)
                return false;
            continue;
        }
        switch (text[i].direction()) {
        case QChar::DirL:
            return false;
        case QChar::DirR:
        case QChar::DirAL:
            return true;
        default:
            break;
        }
    }
    return false;
}

TextShaper::TextShaper(const QFont &font, FontFaces &faces)
    : m_font(font)
    , m_faces(faces)
    , m_glyphs(0x10000)
{
    m_font.setPixelSize(int(FontFaces::ReferenceSize));
    m_font.setHintingPreference(QFont::PreferNoHinting);
    m_font.setKerning(false);
    // Words go through the full shaping (Arabic joins only so); the
    // characters of the table are placed as Qt places them without it.
    m_wordFont = m_font;
    m_font.setStyleStrategy(QFont::PreferNoShaping);
}

TextShaper::~TextShaper() = default;

const TextShaper::Glyph &TextShaper::lookUp(char16_t unit) const
{
    Glyph &glyph = m_glyphs[unit];
    glyph.kind = Glyph::Shaped;
    const QChar c(unit);
    if (!takesOneGlyph(c))
        return glyph;

    // The face and glyph Qt's layout draws the character with.
    QTextLayout layout(QString(c), m_font);
    layout.setCacheEnabled(false);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = line.glyphRuns();
    if (runs.size() != 1 || runs.first().glyphIndexes().size() != 1 || runs.first().glyphIndexes().first() == 0)
        return glyph;
    // Measured with this thread's own font: Qt's fonts are not shared between threads.
    const QRawFont raw = runs.first().rawFont();
    const int face = m_faces.add(raw);
    const quint32 index = runs.first().glyphIndexes().first();
    const QRectF ink = raw.boundingRect(index);
    glyph.index = index;
    glyph.face = qint16(face);
    glyph.advance = float(raw.advancesForGlyphIndexes({index}, QRawFont::UseDesignMetrics).value(0).x()
                          / FontFaces::ReferenceSize);
    glyph.inkLeft = float(ink.left() / FontFaces::ReferenceSize);
    glyph.inkRight = float(ink.right() / FontFaces::ReferenceSize);
    glyph.widest = glyph.advance;
    glyph.kind = Glyph::Single;
    glyph.leftToRight = c.direction() == QChar::DirL;
    glyph.ownsGlyph = m_faces.claim(face, index, QStringView(&unit, 1));
    // Drawn right to left, a bracket turns round.
    const char16_t mirrored = char16_t(QChar::mirroredChar(unit));
    if (mirrored != unit) {
        const Glyph &other = this->glyph(mirrored);
        glyph.widest = std::max(glyph.advance, other.advance);
    }
    return glyph;
}

const TextShaper::Word &TextShaper::word(QStringView text, bool rightToLeft) const
{
    Words &index = m_words[rightToLeft ? 1 : 0];
    if (const auto known = index.constFind(text); known != index.cend())
        return **known;
    if (cachedWords() >= MaxCachedWords) {
        m_words[0].clear();
        m_words[1].clear();
    }

    auto word = std::make_shared<Word>();
    word->text = text.toString();
    word->bidi = strongOrNumber(text);
    QTextLayout layout(word->text, m_wordFont);
    layout.setCacheEnabled(false);
    // A word's own order follows the line's: a comma after a word of a
    // right-to-left line goes to its left.
    QTextOption option(Qt::AlignLeft | Qt::AlignAbsolute);
    option.setTextDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    option.setUseDesignMetrics(true);
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    const qreal baseline = line.ascent();
    const qreal scale = 1 / FontFaces::ReferenceSize;
    word->advance = line.horizontalAdvance() * scale;

    struct Placed
    {
        int face;
        quint32 glyph;
        QPointF position;
        int cluster = -1; // the first character of the cluster it belongs to
    };
    // Runs left to right; within a run Qt's order, which keeps each mark
    // after the letter it sits on.
    QList<QGlyphRun> runs = line.glyphRuns();
    std::stable_sort(runs.begin(), runs.end(), [](const QGlyphRun &a, const QGlyphRun &b) {
        return a.positions().value(0).x() < b.positions().value(0).x();
    });
    std::vector<Placed> placed;
    QHash<int, QRawFont> raws; // the faces as this thread has them
    for (const QGlyphRun &run : std::as_const(runs)) {
        const int face = m_faces.add(run.rawFont());
        raws.insert(face, run.rawFont());
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size(); ++i)
            placed.push_back({face, glyphs[i], QPointF(positions[i].x(), positions[i].y() - baseline) * scale});
    }

    // Which characters each glyph comes from: the glyphs Qt draws for each
    // character, and the characters that share a glyph make one cluster.
    const qsizetype size = word->text.size();
    std::vector<int> cluster(static_cast<size_t>(size));
    for (qsizetype i = 0; i < size; ++i)
        cluster[size_t(i)] = int(i);
    const auto root = [&cluster](int at) {
        while (cluster[size_t(at)] != at)
            at = cluster[size_t(at)] = cluster[size_t(cluster[size_t(at)])];
        return at;
    };
    for (qsizetype i = 0; i < size;) {
        const int length = word->text[i].isHighSurrogate() && i + 1 < size ? 2 : 1;
        for (const QGlyphRun &run : line.glyphRuns(int(i), length)) {
            const int face = m_faces.add(run.rawFont());
            const QList<quint32> glyphs = run.glyphIndexes();
            const QList<QPointF> positions = run.positions();
            for (qsizetype g = 0; g < glyphs.size(); ++g) {
                const QPointF at = QPointF(positions[g].x(), positions[g].y() - baseline) * scale;
                for (Placed &p : placed) {
                    if (p.face != face || p.glyph != glyphs[g] || (p.position - at).manhattanLength() > 1e-4)
                        continue;
                    if (p.cluster < 0)
                        p.cluster = int(i);
                    else
                        cluster[size_t(root(int(i)))] = root(p.cluster);
                }
            }
        }
        if (length == 2)
            cluster[size_t(i + 1)] = int(i);
        i += length;
    }
    // Characters without a glyph of their own belong to the cluster before them.
    std::vector<bool> drawn(static_cast<size_t>(size), false);
    for (const Placed &p : placed) {
        if (p.cluster >= 0)
            drawn[size_t(root(p.cluster))] = true;
    }
    for (qsizetype i = 1; i < size; ++i) {
        if (!drawn[size_t(root(int(i)))] && root(int(i)) == int(i))
            cluster[size_t(i)] = root(int(i - 1));
    }

    ShapedLine shaped;
    for (const Placed &p : placed) {
        const QRawFont &raw = raws[p.face];
        const QRectF ink = raw.boundingRect(p.glyph);
        const qreal advance = raw.advancesForGlyphIndexes({p.glyph}, QRawFont::UseDesignMetrics).value(0).x();
        place(shaped, p.face, p.glyph, p.position, float(advance * scale), ink.left() * scale, ink.right() * scale);
        word->ink.emplace_back(float(ink.left() * scale), float(ink.right() * scale));
    }
    word->glyphs = std::move(shaped.glyphs);
    word->positions = std::move(shaped.positions);
    word->advances = std::move(shaped.advances);
    word->runs = std::move(shaped.runs);
    word->inkLeft = placed.empty() ? 0 : shaped.inkLeft;
    word->inkRight = placed.empty() ? 0 : shaped.inkRight;

    // Each cluster's glyphs stand for its characters: one glyph for all of
    // them (a ligature), or in right-to-left text a glyph for each (a letter
    // and its marks); else they carry the cluster's text together (text
    // extraction takes marks in the order of their places, which need not
    // be that of the characters).
    std::vector<int> roots;
    for (qsizetype i = 0; i < size; ++i) {
        if (root(int(i)) == int(i))
            roots.push_back(int(i));
    }
    for (const int start : roots) {
        QString text;
        std::vector<qsizetype> units; // where each character of the cluster starts
        for (qsizetype i = start; i < size; ++i) {
            if (root(int(i)) != start)
                continue;
            if (!word->text[i].isLowSurrogate() || i == start)
                units.push_back(text.size());
            text.append(word->text[i]);
        }
        std::vector<int> members;
        for (size_t g = 0; g < placed.size(); ++g) {
            if (placed[g].cluster >= 0 && root(placed[g].cluster) == start)
                members.push_back(int(g));
        }
        if (members.empty())
            continue;
        bool told = false;
        if (members.size() == 1) {
            told = m_faces.claim(placed[size_t(members[0])].face, placed[size_t(members[0])].glyph, text);
        } else if (members.size() == units.size() && word->bidi == Bidi::R) {
            // Glyphs that are a character's own glyph in the font stand for it;
            // the one glyph left, if any, for the character left.
            std::vector<int> characterOf(members.size(), -1);
            std::vector<bool> taken(units.size(), false);
            for (size_t m = 0; m < members.size(); ++m) {
                const Placed &p = placed[size_t(members[m])];
                for (size_t u = 0; u < units.size(); ++u) {
                    const qsizetype length = (u + 1 < units.size() ? units[u + 1] : text.size()) - units[u];
                    if (!taken[u] && raws[p.face].glyphIndexesForString(text.mid(units[u], length)).value(0) == p.glyph) {
                        characterOf[m] = int(u);
                        taken[u] = true;
                        break;
                    }
                }
            }
            if (std::count(characterOf.begin(), characterOf.end(), -1) == 1) {
                const auto free = int(std::find(taken.begin(), taken.end(), false) - taken.begin());
                *std::find(characterOf.begin(), characterOf.end(), -1) = free;
            }
            // The glyphs must come in the order of the characters as read,
            // right to left (a vowel sign drawn before its consonant must not).
            bool inReadingOrder = std::count(characterOf.begin(), characterOf.end(), -1) == 0;
            for (size_t m = 1; inReadingOrder && m < members.size(); ++m)
                inReadingOrder = characterOf[m] < characterOf[m - 1];
            if (inReadingOrder) {
                told = true;
                for (size_t m = 0; m < members.size(); ++m) {
                    const auto u = size_t(characterOf[m]);
                    const qsizetype length = (u + 1 < units.size() ? units[u + 1] : text.size()) - units[u];
                    const Placed &p = placed[size_t(members[m])];
                    told = m_faces.claim(p.face, p.glyph, QStringView(text).sliced(units[u], length)) && told;
                }
            }
        }
        if (!told) {
            const auto [first, last] = std::minmax_element(members.begin(), members.end());
            word->spans.push_back({*first, *last - *first + 1, text});
        }
    }
    std::sort(word->spans.begin(), word->spans.end(),
              [](const TextSpan &a, const TextSpan &b) { return a.first < b.first; });

    const Word &kept = *word;
    index.insert(QStringView(kept.text), std::move(word));
    return kept;
}

TextShaper::TextShaper(const TextShaper &other)
    : m_font(other.m_font)
    , m_wordFont(other.m_wordFont)
    , m_faces(other.m_faces)
    , m_glyphs(other.m_glyphs)
{
    m_words[0] = other.m_words[0];
    m_words[1] = other.m_words[1];
}

void TextShaper::adopt(const TextShaper &other) const
{
    for (size_t unit = 0; unit < m_glyphs.size(); ++unit) {
        if (m_glyphs[unit].kind == Glyph::Unknown)
            m_glyphs[unit] = other.m_glyphs[unit];
    }
    for (int direction = 0; direction < 2; ++direction) {
        for (auto it = other.m_words[direction].cbegin(); it != other.m_words[direction].cend(); ++it) {
            if (cachedWords() >= MaxCachedWords)
                return;
            m_words[direction].insert(it.key(), it.value());
        }
    }
}

qsizetype TextShaper::endOfWord(QStringView text, qsizetype at, bool &single) const
{
    for (; at < text.size() && !isBlank(text[at]); ++at) {
        if (glyph(text[at].unicode()).kind != Glyph::Single)
            single = false;
    }
    return at;
}

qreal TextShaper::width(QStringView text) const
{
    // The pens' advances, and what ink any piece puts beyond its own
    // advance on either side: the most of it is allowed at both ends.
    qreal advance = 0;
    qreal overLeft = 0;
    qreal overRight = 0;
    const auto extend = [&](qreal pieceAdvance, qreal inkLeft, qreal inkRight) {
        overLeft = std::max(overLeft, -inkLeft);
        overRight = std::max(overRight, inkRight - pieceAdvance);
        advance += pieceAdvance;
    };
    // Most text takes one glyph a character: straight from the table.
    const qsizetype size = text.size();
    qsizetype at = 0;
    for (; at < size; ++at) {
        const Glyph &g = glyph(text[at].unicode());
        if (g.kind != Glyph::Single && !isBlank(text[at]))
            break;
        if (isBlank(text[at]))
            advance += glyph(u' ').advance;
        else
            extend(g.widest, g.inkLeft, g.inkRight);
    }
    if (at == size)
        return advance + overLeft + overRight;

    // Else word by word, from the start of the word the table could not take.
    while (at > 0 && !isBlank(text[at - 1])) {
        --at;
        advance -= glyph(text[at].unicode()).widest;
    }
    const bool rightToLeft = this->readsRightToLeft(text);
    while (at < size) {
        if (isBlank(text[at])) {
            advance += glyph(u' ').advance;
            ++at;
            continue;
        }
        bool single = true;
        const qsizetype end = endOfWord(text, at, single);
        if (single) {
            for (qsizetype i = at; i < end; ++i) {
                const Glyph &g = m_glyphs[text[i].unicode()];
                extend(g.widest, g.inkLeft, g.inkRight);
            }
        } else {
            const Word &w = word(text.sliced(at, end - at), rightToLeft);
            extend(w.advance, w.inkLeft, w.inkRight);
        }
        at = end;
    }
    return advance + overLeft + overRight;
}

qsizetype TextShaper::fittingLength(QStringView text, qreal width) const
{
    // As width() adds up a prefix: it only grows with the length.
    qreal advance = 0;
    qreal overLeft = 0;
    qreal overRight = 0;
    qsizetype fitting = 0;
    for (qsizetype at = 0; at < text.size(); ++at) {
        if (isBlank(text[at])) {
            advance += glyph(u' ').advance;
        } else {
            const Glyph &g = glyph(text[at].unicode());
            if (g.kind != Glyph::Single)
                return -1;
            overLeft = std::max<qreal>(overLeft, -g.inkLeft);
            overRight = std::max<qreal>(overRight, g.inkRight - g.widest);
            advance += g.widest;
        }
        if (fitting == at && advance + overLeft + overRight <= width)
            fitting = at + 1;
    }
    return fitting;
}

void TextShaper::shape(QStringView text, bool ellipsis, bool rightToLeft, ShapedLine &line) const
{
    line.clear();
    line.text.reserve(text.size() + 1);
    line.text.append(text);
    if (ellipsis)
        line.text.append(QChar(EllipsisUnit));
    line.rightToLeft = rightToLeft;

    // Without right-to-left letters a left-to-right line keeps its order.
    bool inOrder = !rightToLeft;
    for (qsizetype i = 0; inOrder && i < line.text.size(); ++i) {
        if (glyph(line.text[i].unicode()).kind == Glyph::Single)
            continue;
        const QChar::Direction direction = line.text[i].direction();
        inOrder = direction != QChar::DirR && direction != QChar::DirAL;
    }
    if (inOrder)
        shapeInOrder(line.text, line);
    else
        shapeBidirectional(line.text, rightToLeft, line);
}

qreal TextShaper::placeWord(const Word &word, qreal x, ShapedLine &line) const
{
    const int offset = int(line.glyphs.size());
    for (const TextSpan &span : word.spans)
        line.spans.push_back({span.first + offset, span.count, span.text});
    for (const ShapedRun &run : word.runs) {
        for (size_t i = size_t(run.first); i < size_t(run.first + run.count); ++i)
            place(line, run.face, word.glyphs[i], word.positions[i] + QPointF(x, 0), word.advances[i], word.ink[i].first,
                  word.ink[i].second);
    }
    return word.advance;
}

qreal TextShaper::placeCharacter(QChar c, bool mirrored, qreal x, ShapedLine &line) const
{
    // Blanks are room, not glyphs: text extraction sees the gap.
    if (isBlank(c))
        return glyph(u' ').advance;
    char16_t unit = c.unicode();
    if (mirrored && QChar::mirroredChar(unit) <= 0xffff)
        unit = char16_t(QChar::mirroredChar(unit));
    const Glyph &g = glyph(unit);
    place(line, g.face, g.index, QPointF(x, 0), g.advance, g.inkLeft, g.inkRight);
    if (!g.ownsGlyph || unit != c.unicode())
        line.spans.push_back({int(line.glyphs.size()) - 1, 1, QString(c)});
    return g.advance;
}

void TextShaper::shapeInOrder(QStringView text, ShapedLine &line) const
{
    const qsizetype size = text.size();
    qreal x = 0;
    qsizetype at = 0;
    while (at < size) {
        if (isBlank(text[at])) {
            x += placeCharacter(text[at++], false, x, line);
            continue;
        }
        bool single = true;
        const qsizetype end = endOfWord(text, at, single);
        if (single) {
            for (qsizetype i = at; i < end; ++i)
                x += placeCharacter(text[i], false, x, line);
        } else {
            x += placeWord(word(text.sliced(at, end - at), false), x, line);
        }
        at = end;
    }
    line.advance = x;
}

void TextShaper::shapeBidirectional(QStringView text, bool rightToLeft, ShapedLine &line) const
{
    // The pieces of the line, in logical order.
    std::vector<Item> items;
    const qsizetype size = text.size();
    qsizetype at = 0;
    while (at < size) {
        if (isBlank(text[at])) {
            items.push_back({at, 1, nullptr, Bidi::N, 0});
            ++at;
            continue;
        }
        bool single = true;
        const qsizetype end = endOfWord(text, at, single);
        if (!single) {
            const Word &w = word(text.sliced(at, end - at), rightToLeft);
            items.push_back({at, end - at, &w, w.bidi, 0});
            at = end;
            continue;
        }
        // Letters, numbers (with the separators and signs that belong to
        // them) and neutral signs, each a piece of its own.
        std::vector<CharClass> classes;
        for (qsizetype i = at; i < end; ++i)
            classes.push_back(classOf(text[i]));
        const auto numberAt = [&](qsizetype i) { return i >= 0 && i < qsizetype(classes.size()) && classes[size_t(i)] == CharClass::EN; };
        for (qsizetype i = 0; i < qsizetype(classes.size()); ++i) {
            if (classes[size_t(i)] == CharClass::Separator && numberAt(i - 1) && numberAt(i + 1))
                classes[size_t(i)] = CharClass::EN;
        }
        for (qsizetype i = 0; i < qsizetype(classes.size()); ++i) {
            if (classes[size_t(i)] != CharClass::Terminator)
                continue;
            qsizetype last = i;
            while (last + 1 < qsizetype(classes.size()) && classes[size_t(last + 1)] == CharClass::Terminator)
                ++last;
            const bool touchesNumber = numberAt(i - 1) || numberAt(last + 1);
            for (qsizetype j = i; j <= last; ++j)
                classes[size_t(j)] = touchesNumber ? CharClass::EN : CharClass::N;
            i = last;
        }
        for (qsizetype i = 0; i < qsizetype(classes.size());) {
            qsizetype j = i;
            while (j < qsizetype(classes.size()) && (classes[size_t(j)] == classes[size_t(i)]
                                                     || (classes[size_t(j)] == CharClass::Separator
                                                         && classes[size_t(i)] == CharClass::N)))
                ++j;
            const CharClass kind = classes[size_t(i)];
            const Bidi bidi = kind == CharClass::L ? Bidi::L : kind == CharClass::EN ? Bidi::EN : Bidi::N;
            items.push_back({at + i, j - i, nullptr, bidi, 0});
            i = j;
        }
        at = end;
    }

    // Numbers after left-to-right letters read as those letters; neutrals
    // between two pieces of one direction take it, others the line's.
    const Bidi base = rightToLeft ? Bidi::R : Bidi::L;
    Bidi lastStrong = base;
    for (Item &item : items) {
        if (item.bidi == Bidi::EN && lastStrong == Bidi::L)
            item.bidi = Bidi::L;
        else if (item.bidi == Bidi::L || item.bidi == Bidi::R)
            lastStrong = item.bidi;
    }
    const auto strength = [](Bidi bidi) { return bidi == Bidi::EN ? Bidi::R : bidi; };
    for (size_t i = 0; i < items.size();) {
        if (items[i].bidi != Bidi::N) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < items.size() && items[j].bidi == Bidi::N)
            ++j;
        const Bidi before = i == 0 ? base : strength(items[i - 1].bidi);
        const Bidi after = j == items.size() ? base : strength(items[j].bidi);
        const Bidi resolved = before == after ? before : base;
        for (size_t k = i; k < j; ++k)
            items[k].bidi = resolved;
        i = j;
    }
    int highest = 0;
    for (Item &item : items) {
        if (rightToLeft)
            item.level = item.bidi == Bidi::R ? 1 : 2;
        else
            item.level = item.bidi == Bidi::L ? 0 : item.bidi == Bidi::R ? 1 : 2;
        highest = std::max(highest, item.level);
    }

    // From the highest level down to the lowest odd one, every run at
    // that level or above turns round.
    std::vector<size_t> order(items.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    for (int level = highest; level >= 1; --level) {
        for (size_t i = 0; i < order.size();) {
            if (items[order[i]].level < level) {
                ++i;
                continue;
            }
            size_t j = i;
            while (j < order.size() && items[order[j]].level >= level)
                ++j;
            std::reverse(order.begin() + qsizetype(i), order.begin() + qsizetype(j));
            i = j;
        }
    }

    qreal x = 0;
    for (const size_t index : order) {
        const Item &item = items[index];
        if (item.word) {
            x += placeWord(*item.word, x, line);
            continue;
        }
        // Characters drawn right to left come in reverse, brackets mirrored.
        const bool reversed = item.level % 2 == 1;
        for (qsizetype k = 0; k < item.length; ++k)
            x += placeCharacter(text[item.start + (reversed ? item.length - 1 - k : k)], reversed, x, line);
    }
    line.advance = x;
}
