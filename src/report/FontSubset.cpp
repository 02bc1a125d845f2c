#include "FontSubset.h"

#include <QRawFont>
#include <QtEndian>

#include <hb-subset.h>

#include <algorithm>
#include <memory>

namespace {

// The tables a PDF viewer draws a face with; layout tables and hinting are
// left behind.
constexpr const char *KeptTables[] = {"cmap", "head", "hhea", "hmtx", "maxp", "name", "OS/2", "post",
                                      "glyf", "loca", "CFF ", "vhea", "vmtx", "VORG"};

void appendBigEndian(QByteArray &out, quint32 value, int bytes)
{
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8)
        out.append(char((value >> shift) & 0xff));
}

// An OpenType file made of the face's tables as Qt gives them: the face of
// a collection, or of a font held only in memory, as a font of its own.
QByteArray fontFile(const QRawFont &face)
{
    struct Table
    {
        QByteArray tag;
        QByteArray data;
    };
    std::vector<Table> tables;
    for (const char *tag : KeptTables) {
        const QByteArray data = face.fontTable(tag);
        if (!data.isEmpty())
            tables.push_back({QByteArray(tag), data});
    }
    std::sort(tables.begin(), tables.end(), [](const Table &a, const Table &b) { return a.tag < b.tag; });
    const bool cff = std::any_of(tables.begin(), tables.end(), [](const Table &t) { return t.tag == "CFF "; });

    const auto count = quint32(tables.size());
    quint32 power = 1;
    int log = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log;
    }
    QByteArray file;
    file.append(cff ? "OTTO" : QByteArray("\x00\x01\x00\x00", 4));
    appendBigEndian(file, count, 2);
    appendBigEndian(file, power * 16, 2);
    appendBigEndian(file, quint32(log), 2);
    appendBigEndian(file, count * 16 - power * 16, 2);
    quint32 offset = 12 + count * 16;
    for (const Table &table : tables) {
        file.append(table.tag);
        appendBigEndian(file, 0, 4); // no checksums: nothing reads them
        appendBigEndian(file, offset, 4);
        appendBigEndian(file, quint32(table.data.size()), 4);
        offset += (quint32(table.data.size()) + 3) & ~3u;
    }
    for (const Table &table : tables) {
        file.append(table.data);
        file.append((4 - table.data.size() % 4) % 4, '\0');
    }
    return file;
}

// Reads a CFF INDEX at `at`: where each of its items starts and ends.
// Empty when it is cut short.
std::vector<std::pair<qsizetype, qsizetype>> cffIndex(QByteArrayView cff, qsizetype at)
{
    std::vector<std::pair<qsizetype, qsizetype>> items;
    if (at < 0 || at + 2 > cff.size())
        return items;
    const quint16 count = qFromBigEndian<quint16>(cff.data() + at);
    if (count == 0 || at + 3 > cff.size())
        return items;
    const int offSize = quint8(cff[at + 2]);
    const qsizetype offsets = at + 3;
    const qsizetype data = offsets + (qsizetype(count) + 1) * offSize - 1;
    if (offSize < 1 || offSize > 4 || data >= cff.size())
        return items;
    const auto offset = [&](int i) {
        qsizetype value = 0;
        for (int b = 0; b < offSize; ++b)
            value = value << 8 | quint8(cff[offsets + qsizetype(i) * offSize + b]);
        return data + value;
    };
    for (int i = 0; i < count; ++i) {
        if (offset(i + 1) > cff.size() || offset(i) > offset(i + 1))
            return {};
        items.emplace_back(offset(i), offset(i + 1));
    }
    return items;
}

// The operands of the operators of a CFF DICT that name offsets: ROS
// (12 30), charset (15) and CharStrings (17).
struct TopDict
{
    bool cidKeyed = false;
    qsizetype charset = 0;
    qsizetype charStrings = 0;
};

TopDict topDict(QByteArrayView dict)
{
    TopDict top;
    qsizetype operand = 0;
    for (qsizetype at = 0; at < dict.size();) {
        const int b0 = quint8(dict[at]);
        if (b0 == 12) {
            if (at + 1 < dict.size() && quint8(dict[at + 1]) == 30)
                top.cidKeyed = true;
            at += 2;
        } else if (b0 <= 21) {
            if (b0 == 15)
                top.charset = operand;
            else if (b0 == 17)
                top.charStrings = operand;
            ++at;
        } else if (b0 == 28 && at + 2 < dict.size()) {
            operand = qFromBigEndian<qint16>(dict.data() + at + 1);
            at += 3;
        } else if (b0 == 29 && at + 4 < dict.size()) {
            operand = qFromBigEndian<qint32>(dict.data() + at + 1);
            at += 5;
        } else if (b0 == 30) { // a real number, nibble by nibble up to the end mark
            while (++at < dict.size() && (quint8(dict[at]) & 0x0f) != 0x0f && (quint8(dict[at]) & 0xf0) != 0xf0) {
            }
            ++at;
        } else if (b0 >= 32 && b0 <= 246) {
            operand = b0 - 139;
            ++at;
        } else if (b0 >= 247 && b0 <= 250 && at + 1 < dict.size()) {
            operand = (b0 - 247) * 256 + quint8(dict[at + 1]) + 108;
            at += 2;
        } else if (b0 >= 251 && b0 <= 254 && at + 1 < dict.size()) {
            operand = -(b0 - 251) * 256 - quint8(dict[at + 1]) - 108;
            at += 2;
        } else {
            ++at;
        }
    }
    return top;
}

} // namespace

bool FontSubset::numberCidsAsGlyphs(QByteArray &font)
{
    // The CFF table of the OpenType file.
    if (font.size() < 12)
        return false;
    const quint16 tables = qFromBigEndian<quint16>(font.constData() + 4);
    qsizetype start = -1;
    qsizetype length = 0;
    for (qsizetype i = 0; i < tables && 12 + (i + 1) * 16 <= font.size(); ++i) {
        const char *entry = font.constData() + 12 + i * 16;
        if (QByteArrayView(entry, 4) == "CFF ") {
            start = qFromBigEndian<quint32>(entry + 8);
            length = qFromBigEndian<quint32>(entry + 12);
        }
    }
    if (start < 0 || start + length > font.size() || length < 4)
        return false;
    const QByteArrayView cff(font.constData() + start, length);
    const auto names = cffIndex(cff, quint8(cff[2]));
    if (names.empty())
        return false;
    const auto dicts = cffIndex(cff, names.back().second);
    if (dicts.empty())
        return false;
    const TopDict top = topDict(cff.sliced(dicts.front().first, dicts.front().second - dicts.front().first));
    if (!top.cidKeyed)
        return true;
    const auto charStrings = cffIndex(cff, top.charStrings);
    const auto glyphs = qsizetype(charStrings.size());
    const qsizetype charset = top.charset;
    if (glyphs < 2 || charset < 4 || charset >= length)
        return glyphs == 1;

    // The charset as it is, glyph by glyph from glyph 1, and how many bytes it takes.
    char *at = font.data() + start + charset;
    const int format = quint8(*at);
    qsizetype size = 0;
    if (format == 0) {
        size = 1 + 2 * (glyphs - 1);
    } else if (format == 1 || format == 2) {
        qsizetype covered = 0;
        size = 1;
        while (covered < glyphs - 1 && charset + size + (format == 1 ? 3 : 4) <= length) {
            const char *range = at + size;
            covered += 1 + (format == 1 ? quint8(range[2]) : qFromBigEndian<quint16>(range + 2));
            size += format == 1 ? 3 : 4;
        }
        if (covered < glyphs - 1)
            return false;
    } else {
        return false;
    }
    if (charset + size > length)
        return false;
    // Rewritten in place, CID n for glyph n, in no more room than it had.
    if (format == 0) {
        for (qsizetype glyph = 1; glyph < glyphs; ++glyph)
            qToBigEndian<quint16>(quint16(glyph), at + 1 + 2 * (glyph - 1));
        return true;
    }
    if (size >= 5) {
        at[0] = 2;
        qToBigEndian<quint16>(1, at + 1);
        qToBigEndian<quint16>(quint16(glyphs - 2), at + 3);
        return true;
    }
    // One range of format 1 (at most 256 glyphs).
    qToBigEndian<quint16>(1, at + 1);
    at[3] = char(glyphs - 2);
    return true;
}

namespace {

struct HbDeleter
{
    void operator()(hb_blob_t *blob) const { hb_blob_destroy(blob); }
    void operator()(hb_face_t *face) const { hb_face_destroy(face); }
    void operator()(hb_subset_input_t *input) const { hb_subset_input_destroy(input); }
};
template<typename T>
using HbPointer = std::unique_ptr<T, HbDeleter>;

} // namespace

FontSubset FontSubset::make(const QRawFont &face, const std::vector<quint32> &glyphs)
{
    FontSubset subset;
    const QByteArray file = fontFile(face);
    subset.outlines = file.startsWith("OTTO") ? Outlines::Cff : Outlines::TrueType;

    HbPointer<hb_blob_t> blob(
        hb_blob_create(file.constData(), uint(file.size()), HB_MEMORY_MODE_READONLY, nullptr, nullptr));
    HbPointer<hb_face_t> source(hb_face_create(blob.get(), 0));
    HbPointer<hb_subset_input_t> input(hb_subset_input_create_or_fail());
    if (!input)
        return subset;
    hb_set_t *kept = hb_subset_input_glyph_set(input.get());
    hb_set_add(kept, 0);
    for (const quint32 glyph : glyphs)
        hb_set_add(kept, glyph);
    hb_subset_input_set_flags(input.get(), HB_SUBSET_FLAGS_RETAIN_GIDS | HB_SUBSET_FLAGS_NO_HINTING
                                               | HB_SUBSET_FLAGS_NOTDEF_OUTLINE);
    HbPointer<hb_face_t> result(hb_subset_or_fail(source.get(), input.get()));
    if (!result)
        return subset;
    HbPointer<hb_blob_t> program(hb_face_reference_blob(result.get()));
    unsigned int length = 0;
    const char *data = hb_blob_get_data(program.get(), &length);
    subset.program = QByteArray(data, qsizetype(length));
    if (subset.outlines == Outlines::Cff && !numberCidsAsGlyphs(subset.program))
        subset.program.clear();
    return subset;
}
