#include "contacts/NameKey.h"

#include "contacts/SqliteStatement.h"

#include <QHash>

#include <algorithm>

#include <array>
#include <bitset>

// A name is folded character by character through a table made once per
// process. The table holds, for each character of the Basic Multilingual
// Plane that can be folded on its own, what the whole way round below makes
// of it; every other name takes the whole way round.
//
// The whole way round: decompose (NFD), so that combining marks fold on
// their own; fold case; expand the folds that Qt's one-to-one folding leaves
// out; compose again (NFC), which keeps the stored keys short.
//
// Folding each character on its own gives the same key when the name holds
// no combining mark, no character outside the Basic Multilingual Plane, and
// no letter of the scripts in which two letters that are not combining marks
// compose into one (Indic scripts, Tibetan, Myanmar, Balinese, Hangul jamo):
// then every character decomposes to a letter and its marks, and composing
// never reaches across two characters.

namespace {

constexpr char16_t FirstHangulSyllable = 0xac00;
constexpr char16_t LastHangulSyllable = 0xd7a3;

bool composesWithLetters(char16_t c)
{
    return (c >= 0x0900 && c <= 0x0dff) || (c >= 0x0f00 && c <= 0x109f) || (c >= 0x1100 && c <= 0x11ff)
        || (c >= 0x1b00 && c <= 0x1b7f) || (c >= 0xa960 && c <= 0xa97f) || (c >= 0xd7b0 && c <= 0xd7ff);
}

bool hasNoDecomposition(const QString &text)
{
    for (QChar c : text) {
        if (c.decompositionTag() != QChar::NoDecomposition || c.isSurrogate())
            return false;
    }
    return true;
}

class FoldTable
{
public:
    FoldTable()
    {
        // The folds that make a character longer (ß to ss, ligatures to
        // their letters) show as upper-casing that makes it longer; only
        // those take that way round, so that dotless ı, whose upper case is
        // I, stays apart from i.
        for (char32_t c = 0x80; c < 0x10000; ++c) {
            if (QChar::isSurrogate(c))
                continue;
            const QString one{QChar(char16_t(c))};
            const QString upper = one.toUpper();
            if (upper.size() > 1)
                m_expanded.insert(char16_t(c), upper.toCaseFolded());
        }
        for (char32_t c = 0x80; c < 0x10000; ++c) {
            const auto unit = char16_t(c);
            if (QChar::isSurrogate(c) || composesWithLetters(unit) || QChar::combiningClass(c) != 0)
                continue;
            const QString one{QChar(unit)};
            if (unit >= FirstHangulSyllable && unit <= LastHangulSyllable) {
                setAlone(unit, one); // decomposed and composed again, with no case
                continue;
            }
            if (QChar::decompositionTag(c) == QChar::NoDecomposition) {
                const QString folded = foldDecomposed(one);
                if (hasNoDecomposition(folded)) {
                    setAlone(unit, folded);
                    continue;
                }
            }
            const QString decomposed = one.normalized(QString::NormalizationForm_D);
            if (QChar::combiningClass(decomposed.at(0).unicode()) == 0)
                setAlone(unit, foldDecomposed(decomposed).normalized(QString::NormalizationForm_C));
        }
    }

    // Appends what the character folds to on its own, as UTF-16 or UTF-8;
    // false when it cannot be folded on its own.
    bool appendAlone(char16_t c, QString &key) const
    {
        const char16_t folded = m_alone[c];
        if (folded == Cannot)
            return false;
        if (folded == Longer)
            key.append(m_aloneLonger.value(c));
        else
            key.append(QChar(folded));
        return true;
    }
    // As UTF-8, into `out`, which has room for longestUtf8() bytes; the
    // number of bytes written, or 0 when it cannot be folded on its own.
    int writeAlone(char16_t c, char *out) const
    {
        const char16_t folded = m_alone[c];
        if (folded == Cannot)
            return 0;
        if (folded == Longer) {
            const QByteArray &longer = m_aloneLongerUtf8[c];
            std::copy(longer.begin(), longer.end(), out);
            return int(longer.size());
        }
        if (folded < 0x80) {
            out[0] = char(folded);
            return 1;
        }
        if (folded < 0x800) {
            out[0] = char(0xc0 | folded >> 6);
            out[1] = char(0x80 | (folded & 0x3f));
            return 2;
        }
        out[0] = char(0xe0 | folded >> 12);
        out[1] = char(0x80 | ((folded >> 6) & 0x3f));
        out[2] = char(0x80 | (folded & 0x3f));
        return 3;
    }
    int longestUtf8() const { return m_longestUtf8; }

    // Folds a decomposed text (NFD): case folding, with the folds that
    // change the length as well.
    QString foldDecomposed(const QString &decomposed) const
    {
        QString folded;
        folded.reserve(decomposed.size() + 4);
        for (qsizetype i = 0; i < decomposed.size(); ++i) {
            char32_t c = decomposed.at(i).unicode();
            if (QChar::isHighSurrogate(c) && i + 1 < decomposed.size() && decomposed.at(i + 1).isLowSurrogate())
                c = QChar::surrogateToUcs4(char16_t(c), decomposed.at(++i).unicode());
            c = QChar::toCaseFolded(c);
            const auto expanded = c < 0x10000 ? m_expanded.constFind(char16_t(c)) : m_expanded.constEnd();
            if (expanded != m_expanded.constEnd()) {
                folded.append(*expanded);
            } else if (QChar::requiresSurrogates(c)) {
                folded.append(QChar(QChar::highSurrogate(c)));
                folded.append(QChar(QChar::lowSurrogate(c)));
            } else {
                folded.append(QChar(char16_t(c)));
            }
        }
        return folded;
    }

private:
    // Markers in m_alone: no character of 0x80 or above folds to these.
    static constexpr char16_t Cannot = 0;
    static constexpr char16_t Longer = 1;

    void setAlone(char16_t c, const QString &folded)
    {
        if (folded.size() == 1) {
            m_alone[c] = folded.at(0).unicode();
        } else {
            m_alone[c] = Longer;
            m_aloneLonger.insert(c, folded);
            m_aloneLongerUtf8.insert(c, folded.toUtf8());
            m_longestUtf8 = qMax(m_longestUtf8, int(folded.toUtf8().size()));
        }
    }

    QHash<char16_t, QString> m_expanded;
    std::array<char16_t, 0x10000> m_alone{};
    QHash<char16_t, QString> m_aloneLonger;
    QHash<char16_t, QByteArray> m_aloneLongerUtf8;
    int m_longestUtf8 = 3;
};

const FoldTable &foldTable()
{
    static const FoldTable table;
    return table;
}

} // namespace

namespace {

bool isContinuation(char byte)
{
    return (quint8(byte) & 0xc0) == 0x80;
}

// The character of the Basic Multilingual Plane that a well-formed UTF-8
// sequence of two or three bytes at text[i] encodes, and its length; zero
// for anything else, which the caller leaves to Qt's decoder.
char32_t decodeTwoOrThreeBytes(QByteArrayView text, qsizetype i, int &length)
{
    const auto lead = quint8(text.at(i));
    if ((lead & 0xe0) == 0xc0 && i + 1 < text.size() && isContinuation(text.at(i + 1))) {
        length = 2;
        const char32_t c = (lead & 0x1f) << 6 | (quint8(text.at(i + 1)) & 0x3f);
        return c >= 0x80 ? c : 0;
    }
    if ((lead & 0xf0) == 0xe0 && i + 2 < text.size() && isContinuation(text.at(i + 1))
        && isContinuation(text.at(i + 2))) {
        length = 3;
        const char32_t c = (lead & 0x0f) << 12 | (quint8(text.at(i + 1)) & 0x3f) << 6 | (quint8(text.at(i + 2)) & 0x3f);
        return c >= 0x800 && !QChar::isSurrogate(c) ? c : 0;
    }
    return 0;
}

} // namespace

void nameKeyUtf8(QByteArrayView utf8, QByteArray &key)
{
    qsizetype end = utf8.size();
    while (end > 0 && utf8.at(end - 1) == ' ')
        --end;
    // Written in place: appending byte by byte costs more than folding.
    const FoldTable *table = nullptr;
    qsizetype used = 0;
    key.resize(end + 8);
    const auto makeRoom = [&](qsizetype bytes) {
        if (key.size() - used < bytes)
            key.resize(std::max(2 * key.size(), used + bytes));
    };
    for (qsizetype i = 0; i < end;) {
        const char byte = utf8.at(i);
        if (quint8(byte) < 0x80) {
            makeRoom(1);
            key[used++] = byte >= 'A' && byte <= 'Z' ? char(byte + ('a' - 'A')) : byte;
            ++i;
            continue;
        }
        if (!table)
            table = &foldTable();
        makeRoom(table->longestUtf8());
        int length = 0;
        const char32_t c = decodeTwoOrThreeBytes(utf8.first(end), i, length);
        const int written = c ? table->writeAlone(char16_t(c), key.data() + used) : 0;
        if (written == 0) {
            key = nameKey(textFromUtf8(utf8)).toUtf8();
            return;
        }
        used += written;
        i += length;
    }
    key.resize(used);
}

QString nameKey(const QString &name)
{
    qsizetype end = name.size();
    while (end > 0 && name.at(end - 1) == u' ')
        --end;
    const QStringView kept = QStringView(name).left(end);

    QString key;
    key.reserve(kept.size());
    const FoldTable *table = nullptr;
    for (const QChar c : kept) {
        const char16_t unit = c.unicode();
        if (unit < 0x80) {
            key.append(unit >= u'A' && unit <= u'Z' ? QChar(char16_t(unit + (u'a' - u'A'))) : c);
            continue;
        }
        if (!table)
            table = &foldTable();
        if (!table->appendAlone(unit, key)) {
            const QString decomposed = kept.toString().normalized(QString::NormalizationForm_D);
            return table->foldDecomposed(decomposed).normalized(QString::NormalizationForm_C);
        }
    }
    return key;
}
