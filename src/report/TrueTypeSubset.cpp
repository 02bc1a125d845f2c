#include "TrueTypeSubset.h"

#include <QList>
#include <QRawFont>
#include <QtEndian>

#include <utility>

namespace {

// The tables a PDF viewer needs to draw the glyphs, in the order of their tags.
const char *const KeptTables[] = {"cvt ", "fpgm", "glyf", "head", "hhea", "hmtx", "loca", "maxp", "prep"};
const char *const RequiredTables[] = {"glyf", "head", "hhea", "hmtx", "loca", "maxp"};

// Flags of a composite glyph's component.
constexpr quint16 ArgumentsAreWords = 0x0001;
constexpr quint16 HasScale = 0x0008;
constexpr quint16 MoreComponents = 0x0020;
constexpr quint16 HasXAndYScale = 0x0040;
constexpr quint16 HasTwoByTwo = 0x0080;

quint16 read16(const QByteArray &data, qsizetype at)
{
    return qFromBigEndian<quint16>(data.constData() + at);
}

void put16(QByteArray &out, quint16 value)
{
    out.append(char(value >> 8));
    out.append(char(value & 0xff));
}

void put32(QByteArray &out, quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char((value >> shift) & 0xff));
}

// The glyphs a composite glyph is made of; none for a simple glyph.
QList<quint16> componentsOf(const QByteArray &glyph)
{
    QList<quint16> components;
    if (glyph.size() < 10 || qint16(read16(glyph, 0)) >= 0)
        return components;
    qsizetype at = 10;
    quint16 flags = MoreComponents;
    while ((flags & MoreComponents) && at + 4 <= glyph.size()) {
        flags = read16(glyph, at);
        components.append(read16(glyph, at + 2));
        at += 4 + ((flags & ArgumentsAreWords) ? 4 : 2);
        if (flags & HasScale)
            at += 2;
        else if (flags & HasXAndYScale)
            at += 4;
        else if (flags & HasTwoByTwo)
            at += 8;
    }
    return components;
}

// An sfnt file of the given tables, which must come in the order of their tags.
QByteArray sfnt(const QList<std::pair<QByteArray, QByteArray>> &tables)
{
    const quint16 count = quint16(tables.size());
    quint16 entrySelector = 0;
    while ((2u << entrySelector) <= count)
        ++entrySelector;
    const quint16 searchRange = quint16(16u << entrySelector);

    QByteArray font;
    put32(font, 0x00010000);
    put16(font, count);
    put16(font, searchRange);
    put16(font, entrySelector);
    put16(font, quint16(count * 16 - searchRange));
    quint32 offset = 12 + 16u * count;
    QByteArray body;
    for (const auto &[tag, data] : tables) {
        QByteArray padded = data;
        padded.append(QByteArray((4 - padded.size() % 4) % 4, '\0'));
        quint32 checksum = 0;
        for (qsizetype i = 0; i < padded.size(); i += 4)
            checksum += qFromBigEndian<quint32>(padded.constData() + i);
        font.append(tag);
        put32(font, checksum);
        put32(font, offset);
        put32(font, quint32(data.size()));
        offset += quint32(padded.size());
        body.append(padded);
    }
    return font + body;
}

} // namespace

bool TrueTypeSubset::canEmbed(const QRawFont &face)
{
    for (const char *tag : RequiredTables) {
        if (face.fontTable(tag).isEmpty())
            return false;
    }
    return true;
}

QByteArray TrueTypeSubset::program(const QRawFont &face, const std::vector<bool> &used)
{
    if (!canEmbed(face))
        return QByteArray();
    const QByteArray glyf = face.fontTable("glyf");
    const QByteArray loca = face.fontTable("loca");
    QByteArray head = face.fontTable("head");
    const QByteArray maxp = face.fontTable("maxp");
    if (head.size() < 54 || maxp.size() < 6)
        return QByteArray();

    // Where each glyph's outline lies in glyf.
    const int glyphCount = read16(maxp, 4);
    const bool longOffsets = read16(head, 50) == 1;
    if (loca.size() < (glyphCount + 1) * (longOffsets ? 4 : 2))
        return QByteArray();
    std::vector<quint32> offsets(size_t(glyphCount) + 1);
    for (int i = 0; i <= glyphCount; ++i) {
        offsets[size_t(i)] = longOffsets ? qFromBigEndian<quint32>(loca.constData() + 4 * i) : 2u * read16(loca, 2 * i);
        if (offsets[size_t(i)] > quint32(glyf.size()) || (i > 0 && offsets[size_t(i)] < offsets[size_t(i) - 1]))
            return QByteArray();
    }
    const auto outline = [&](int glyph) {
        return glyf.mid(offsets[size_t(glyph)], offsets[size_t(glyph) + 1] - offsets[size_t(glyph)]);
    };

    // The glyphs kept: those used, glyph 0, and the parts of composites.
    std::vector<bool> keep(size_t(glyphCount), false);
    QList<int> pending = {0};
    for (size_t glyph = 0; glyph < used.size() && glyph < keep.size(); ++glyph) {
        if (used[glyph])
            pending.append(int(glyph));
    }
    while (!pending.isEmpty()) {
        const int glyph = pending.takeLast();
        if (glyph >= glyphCount || keep[size_t(glyph)])
            continue;
        keep[size_t(glyph)] = true;
        for (const quint16 part : componentsOf(outline(glyph)))
            pending.append(part);
    }

    // Outlines of the glyphs dropped become empty; the numbering stays.
    QByteArray subsetGlyf;
    QByteArray subsetLoca;
    for (int glyph = 0; glyph < glyphCount; ++glyph) {
        put32(subsetLoca, quint32(subsetGlyf.size()));
        if (keep[size_t(glyph)]) {
            subsetGlyf.append(outline(glyph));
            subsetGlyf.append(QByteArray((4 - subsetGlyf.size() % 4) % 4, '\0'));
        }
    }
    put32(subsetLoca, quint32(subsetGlyf.size()));
    // Long offsets from now on; the whole file's checksum is not kept up to date.
    head[50] = 0;
    head[51] = 1;
    head.replace(8, 4, QByteArray(4, '\0'));

    QList<std::pair<QByteArray, QByteArray>> tables;
    for (const char *tag : KeptTables) {
        const QByteArray name(tag);
        QByteArray data;
        if (name == "glyf")
            data = subsetGlyf;
        else if (name == "loca")
            data = subsetLoca;
        else if (name == "head")
            data = head;
        else
            data = face.fontTable(tag);
        if (!data.isEmpty())
            tables.append({name, data});
    }
    return sfnt(tables);
}
