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
    return subset;
}
