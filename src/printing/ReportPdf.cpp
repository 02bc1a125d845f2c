#include "ReportPdf.h"

#include "FontSubset.h"
#include "Report.h"
#include "ReportCanvas.h"
#include "ReportDocument.h"
#include "ReportProgress.h"
#include "TextShaper.h"

#include <QDir>
#include <QSaveFile>
#include <QtEndian>

#include <charconv>
#include <string>
#include <vector>

namespace {

// Numbers and glyphs are written millions of times for a large report:
// straight into the output, without a text of their own each.
template<typename Out>
void appendNumber(Out &out, qreal value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    out.append(text, result.ptr - text);
}

QByteArray number(qreal value)
{
    QByteArray text;
    appendNumber(text, value);
    return text;
}

template<typename Out>
void appendHex(Out &out, quint32 glyph)
{
    static const char digits[] = "0123456789ABCDEF";
    const char text[4] = {digits[(glyph >> 12) & 15], digits[(glyph >> 8) & 15], digits[(glyph >> 4) & 15],
                          digits[glyph & 15]};
    out.append(text, 4);
}

QByteArray hexGlyph(quint32 glyph)
{
    QByteArray text;
    appendHex(text, glyph);
    return text;
}

// A text as PDF wants Unicode: UTF-16 big endian, in hexadecimal.
template<typename Out>
void appendUnicodeString(Out &out, QStringView text)
{
    out.append("<FEFF");
    for (const QChar c : text)
        appendHex(out, c.unicode());
    out.append('>');
}

QByteArray unicodeString(QStringView text)
{
    QByteArray out;
    appendUnicodeString(out, text);
    return out;
}

// A page's operators: appended to millions of times for a large report,
// so kept in a plain buffer.
struct Operators
{
    std::string text;

    void append(const char *literal) { text.append(literal); }
    void append(const char *data, size_t size) { text.append(data, size); }
    void append(char c) { text.push_back(c); }
    void append(const QByteArray &bytes) { text.append(bytes.constData(), size_t(bytes.size())); }
};

// Numbered objects, written one after the other, with the byte offsets the
// cross-reference table needs.
class PdfObjects
{
public:
    explicit PdfObjects(QIODevice &device)
        : m_device(device)
    {
        write("%PDF-1.6\n%\xE2\xE3\xCF\xD3\n");
    }

    int reserve()
    {
        m_offsets.push_back(-1);
        return int(m_offsets.size() - 1);
    }

    void object(int number, const QByteArray &body)
    {
        m_offsets[size_t(number)] = m_position;
        write(QByteArray::number(number) + " 0 obj\n" + body + "\nendobj\n");
    }

    // Pages are compressed fast: a large report is written in half the time
    // for a quarter more bytes. What is written once, as the fonts, is
    // compressed well.
    enum class Compression { Fast, Best };

    void stream(int number, const QByteArray &entries, QByteArrayView data, Compression compression = Compression::Fast)
    {
        // qCompress puts the length in front of a zlib stream, which is what FlateDecode reads.
        const QByteArray deflated =
            qCompress(reinterpret_cast<const uchar *>(data.data()), data.size(), compression == Compression::Fast ? 1 : 6)
                .mid(4);
        m_offsets[size_t(number)] = m_position;
        write(QByteArray::number(number) + " 0 obj\n<< /Length " + QByteArray::number(deflated.size())
              + " /Filter /FlateDecode " + entries + " >>\nstream\n");
        write(deflated);
        write("\nendstream\nendobj\n");
    }

    void finish(int catalog, int info)
    {
        const qint64 table = m_position;
        QByteArray xref = "xref\n0 " + QByteArray::number(qsizetype(m_offsets.size())) + "\n0000000000 65535 f \n";
        for (size_t i = 1; i < m_offsets.size(); ++i)
            xref += QByteArray::number(m_offsets[i]).rightJustified(10, '0') + " 00000 n \n";
        write(xref);
        write("trailer\n<< /Size " + QByteArray::number(qsizetype(m_offsets.size())) + " /Root "
              + QByteArray::number(catalog) + " 0 R /Info " + QByteArray::number(info) + " 0 R >>\nstartxref\n"
              + QByteArray::number(table) + "\n%%EOF\n");
    }

    bool ok() const { return m_ok; }

private:
    void write(const QByteArray &bytes)
    {
        if (m_ok && m_device.write(bytes) != bytes.size())
            m_ok = false;
        m_position += bytes.size();
    }

    QIODevice &m_device;
    qint64 m_position = 0;
    std::vector<qint64> m_offsets{0};
    bool m_ok = true;
};

// One face as the file embeds it, and the glyphs the pages used.
struct EmbeddedFace
{
    QByteArray resource; // the name pages use: /F1, /F2
    int font = 0;
    int cidFont = 0;
    int descriptor = 0;
    int program = 0;
    int toUnicode = 0;
    std::vector<quint32> used;
    std::vector<bool> seen; // by glyph: in `used` already

    void use(quint32 glyph)
    {
        if (glyph >= seen.size())
            seen.resize(glyph + 1);
        if (!seen[glyph]) {
            seen[glyph] = true;
            used.push_back(glyph);
        }
    }
};

// Writes a page's drawing as PDF operators, in points from the bottom left.
class PdfCanvas final : public ReportCanvas
{
public:
    PdfCanvas(PdfObjects &objects, std::vector<EmbeddedFace> &faces, QPointF origin, qreal pageHeight)
        : m_objects(objects)
        , m_faces(faces)
        , m_origin(origin)
        , m_pageHeight(pageHeight)
    {
    }

    void text(const ShapedLine &line, const FontFaces &faces, qreal size, QPointF origin, const QRectF &) override
    {
        if (line.glyphs.empty())
            return;
        m_content.append("BT\n");
        auto span = line.spans.cbegin();
        int spanEnd = -1; // the glyph after the open span
        bool open = false; // a TJ array
        const auto closeArray = [&] {
            if (open)
                m_content.append(">] TJ\n");
            open = false;
        };
        for (const ShapedRun &run : line.runs) {
            closeArray();
            EmbeddedFace &embedded = embeddedFor(run.face);
            m_content.append('/');
            m_content.append(embedded.resource);
            m_content.append(' ');
            appendNumber(m_content, size);
            m_content.append(" Tf\n");
            // Glyphs on one baseline go in one string; where one is not
            // where the advance of the one before puts it, a shift says so.
            QPointF expected;
            for (int i = run.first; i < run.first + run.count; ++i) {
                // Glyphs that do not tell their text by themselves carry it along.
                if (i == spanEnd) {
                    closeArray();
                    m_content.append("EMC\n");
                    spanEnd = -1;
                }
                if (span != line.spans.cend() && span->first == i) {
                    closeArray();
                    m_content.append("/Span << /ActualText ");
                    appendUnicodeString(m_content, span->text);
                    m_content.append(" >> BDC\n");
                    spanEnd = span->first + span->count;
                    ++span;
                }
                const quint32 glyph = line.glyphs[size_t(i)];
                const QPointF at = origin + line.positions[size_t(i)] * size;
                embedded.use(glyph);
                if (open && !qFuzzyCompare(at.y() + 1, expected.y() + 1))
                    closeArray();
                if (!open) {
                    m_content.append("1 0 0 1 ");
                    appendPoint(at);
                    m_content.append(" Tm [<");
                    open = true;
                } else {
                    const qreal shift = (expected.x() - at.x()) * 1000 / size;
                    if (std::abs(shift) > 0.05) {
                        m_content.append('>');
                        appendNumber(m_content, shift);
                        m_content.append('<');
                    }
                }
                appendHex(m_content, glyph);
                expected = at + QPointF(faces.advance(run.face, glyph) * size, 0);
            }
        }
        closeArray();
        if (spanEnd >= 0)
            m_content.append("EMC\n");
        m_content.append("ET\n");
    }

    void line(const QLineF &line, const QColor &colour, qreal width) override
    {
        m_content.append("q ");
        for (const qreal component : {colour.redF(), colour.greenF(), colour.blueF()}) {
            appendNumber(m_content, component);
            m_content.append(' ');
        }
        m_content.append("RG ");
        appendNumber(m_content, width);
        m_content.append(" w ");
        appendPoint(line.p1());
        m_content.append(" m ");
        appendPoint(line.p2());
        m_content.append(" l S Q\n");
    }

    std::string takeContent() { return std::exchange(m_content.text, std::string()); }

private:
    void appendPoint(QPointF point)
    {
        appendNumber(m_content, m_origin.x() + point.x());
        m_content.append(' ');
        appendNumber(m_content, m_pageHeight - m_origin.y() - point.y());
    }

    EmbeddedFace &embeddedFor(int face)
    {
        if (size_t(face) >= m_faces.size())
            m_faces.resize(size_t(face) + 1);
        EmbeddedFace &embedded = m_faces[size_t(face)];
        if (embedded.resource.isEmpty()) {
            embedded.resource = "F" + QByteArray::number(face + 1);
            embedded.font = m_objects.reserve();
            embedded.cidFont = m_objects.reserve();
            embedded.descriptor = m_objects.reserve();
            embedded.program = m_objects.reserve();
            embedded.toUnicode = m_objects.reserve();
        }
        return embedded;
    }

    PdfObjects &m_objects;
    std::vector<EmbeddedFace> &m_faces;
    QPointF m_origin;
    qreal m_pageHeight;
    Operators m_content;
};

// The six capitals that name a subset of a font, from the glyphs in it.
QByteArray subsetTag(const std::vector<quint32> &used)
{
    quint32 hash = 2166136261u;
    for (const quint32 glyph : used)
        hash = (hash ^ glyph) * 16777619u;
    QByteArray tag;
    for (int i = 0; i < 6; ++i, hash /= 26)
        tag += char('A' + hash % 26);
    return tag;
}

QByteArray postScriptName(const QRawFont &raw)
{
    QByteArray name;
    for (const QString &part : {raw.familyName(), raw.styleName()}) {
        for (const QChar c : part) {
            if (c.isLetterOrNumber() && c.unicode() < 128)
                name += char(c.unicode());
        }
        if (part == raw.familyName())
            name += '-';
    }
    return name.size() > 1 ? name : QByteArray("Font");
}

// The characters each glyph stands for, as a ToUnicode map.
QByteArray toUnicodeMap(const FontFaces::Face &face, std::vector<quint32> glyphs)
{
    std::sort(glyphs.begin(), glyphs.end());
    QByteArray mappings;
    QByteArray entries;
    int count = 0;
    const auto flush = [&] {
        if (count > 0)
            mappings += QByteArray::number(count) + " beginbfchar\n" + entries + "endbfchar\n";
        entries.clear();
        count = 0;
    };
    for (const quint32 glyph : glyphs) {
        const auto found = face.characters.constFind(glyph);
        if (found == face.characters.constEnd())
            continue;
        entries += '<' + hexGlyph(glyph) + "> <";
        for (const QChar c : *found)
            entries += hexGlyph(c.unicode());
        entries += ">\n";
        if (++count == 100)
            flush();
    }
    flush();
    return "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
           "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
           "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
           "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n"
         + mappings + "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
}

bool writeFace(PdfObjects &objects, const EmbeddedFace &embedded, const FontFaces &faces, int index)
{
    const FontFaces::Face &face = faces.face(index);
    const QRawFont &raw = face.raw;
    const FontSubset subset = FontSubset::make(raw, embedded.used);
    if (subset.program.isEmpty())
        return false;
    const bool cff = subset.outlines == FontSubset::Outlines::Cff;
    std::vector<quint32> glyphs = embedded.used;
    std::sort(glyphs.begin(), glyphs.end());
    const QByteArray name = subsetTag(glyphs) + '+' + postScriptName(raw);

    QByteArray widths = "[";
    for (const quint32 glyph : glyphs) {
        widths += ' ' + QByteArray::number(glyph) + " [" + number(faces.advance(index, glyph) * 1000) + ']';
    }
    widths += " ]";

    const QByteArray head = raw.fontTable("head");
    const qreal unitsPerEm = head.size() >= 54 ? qFromBigEndian<quint16>(head.constData() + 18) : 1000;
    const auto designUnits = [&](int offset) {
        return head.size() >= 54
                 ? QByteArray::number(qRound(qFromBigEndian<qint16>(head.constData() + offset) * 1000 / unitsPerEm))
                 : QByteArray("0");
    };
    objects.object(embedded.font, "<< /Type /Font /Subtype /Type0 /BaseFont /" + name
                                      + " /Encoding /Identity-H /DescendantFonts ["
                                      + QByteArray::number(embedded.cidFont) + " 0 R] /ToUnicode "
                                      + QByteArray::number(embedded.toUnicode) + " 0 R >>");
    objects.object(embedded.cidFont,
                   "<< /Type /Font /Subtype " + QByteArray(cff ? "/CIDFontType0" : "/CIDFontType2") + " /BaseFont /"
                       + name + " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"
                       + " /FontDescriptor " + QByteArray::number(embedded.descriptor) + " 0 R"
                       + (cff ? QByteArray() : QByteArray(" /CIDToGIDMap /Identity")) + " /W " + widths + " >>");
    objects.object(embedded.descriptor,
                   "<< /Type /FontDescriptor /FontName /" + name + " /Flags 4 /FontBBox [" + designUnits(36) + ' '
                       + designUnits(38) + ' ' + designUnits(40) + ' ' + designUnits(42) + "] /ItalicAngle 0 /Ascent "
                       + number(face.ascent * 1000) + " /Descent " + number(-face.descent * 1000) + " /CapHeight "
                       + number(raw.capHeight()) + " /StemV 80 " + (cff ? "/FontFile3 " : "/FontFile2 ")
                       + QByteArray::number(embedded.program) + " 0 R >>");
    objects.stream(embedded.program,
                   cff ? QByteArray("/Subtype /OpenType") : "/Length1 " + QByteArray::number(subset.program.size()),
                   subset.program, PdfObjects::Compression::Best);
    objects.stream(embedded.toUnicode, QByteArray(), toUnicodeMap(face, glyphs));
    return true;
}

} // namespace

PrintResult ReportPdf::write(const ReportDocument &document, const QString &path)
{
    NoProgress progress;
    return write(document, path, progress);
}

PrintResult ReportPdf::write(const ReportDocument &document, const QString &path, ReportProgress &progress)
{
    const QString shownPath = QDir::toNativeSeparators(path);
    const auto failed = [&](const QString &why) {
        return PrintResult{false, tr("%1 cannot be written: %2.").arg(shownPath, why)};
    };
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failed(file.errorString());

    const Report &report = document.report();
    const FontFaces &faces = report.fonts->faces();
    PdfObjects objects(file);
    const int catalog = objects.reserve();
    const int pageTree = objects.reserve();
    const int info = objects.reserve();
    const int resources = objects.reserve();
    std::vector<EmbeddedFace> embedded;

    const QPageLayout layout = report.layout.pageLayout;
    const QSizeF page = layout.fullRect(QPageLayout::Point).size();
    const QByteArray mediaBox = "[0 0 " + number(page.width()) + ' ' + number(page.height()) + ']';
    PdfCanvas canvas(objects, embedded, layout.paintRect(QPageLayout::Point).topLeft(), page.height());
    QByteArray kids;
    const int pages = document.pageCount();
    for (int index = 0; index < pages && objects.ok(); ++index) {
        if (!progress.advance(ReportProgress::Stage::Writing, index, pages)) {
            file.cancelWriting();
            return {false, QString(), true};
        }
        document.composePage(index, canvas);
        const int content = objects.reserve();
        const std::string operators = canvas.takeContent();
        objects.stream(content, QByteArray(), QByteArrayView(operators.data(), qsizetype(operators.size())));
        const int pageObject = objects.reserve();
        objects.object(pageObject, "<< /Type /Page /Parent " + QByteArray::number(pageTree) + " 0 R /MediaBox "
                                       + mediaBox + " /Resources " + QByteArray::number(resources)
                                       + " 0 R /Contents " + QByteArray::number(content) + " 0 R >>");
        kids += QByteArray::number(pageObject) + " 0 R ";
    }

    QByteArray fonts;
    for (size_t face = 0; face < embedded.size(); ++face) {
        if (embedded[face].resource.isEmpty())
            continue;
        if (!writeFace(objects, embedded[face], faces, int(face))) {
            file.cancelWriting();
            return failed(tr("the font %1 cannot be embedded").arg(faces.face(int(face)).raw.familyName()));
        }
        fonts += " /" + embedded[face].resource + ' ' + QByteArray::number(embedded[face].font) + " 0 R";
    }
    objects.object(resources, "<< /Font <<" + fonts + " >> >>");
    objects.object(pageTree, "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages) + " >>");
    objects.object(catalog, "<< /Type /Catalog /Pages " + QByteArray::number(pageTree) + " 0 R >>");
    objects.object(info, "<< /Title " + unicodeString(document.title()) + " /Creator (Merivo) /Producer (Merivo) >>");
    objects.finish(catalog, info);

    if (!objects.ok()) {
        file.cancelWriting();
        return failed(file.errorString());
    }
    if (!file.commit())
        return failed(file.errorString());
    return {true, QString()};
}
