#include "ReportPdf.h"

#include "Report.h"
#include "ReportCanvas.h"
#include "ReportDocument.h"
#include "TextWrap.h"
#include "TrueTypeSubset.h"
#include "files/AtomicFile.h"
#include "toolkit/PdfFile.h"

#include <QDir>
#include <QtEndian>

#include <charconv>
#include <map>
#include <vector>

namespace {

// Numbers and glyphs are written millions of times for a large report:
// straight into the output, without a text of their own each.
void appendNumber(QByteArray &out, qreal value)
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

void appendHex(QByteArray &out, quint32 glyph)
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

// A text for the document's information, as PDF wants Unicode: UTF-16 big endian.
QByteArray unicodeString(const QString &text)
{
    QByteArray hex = "<FEFF";
    for (const QChar c : text)
        hex += hexGlyph(c.unicode());
    return hex + '>';
}

// Numbered objects, written one after the other, with the byte offsets the
// cross-reference table needs.
class PdfObjects
{
public:
    explicit PdfObjects(QIODevice &device)
        : m_device(device)
    {
        write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
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
    // compressed best.
    enum class Compression { Fast, Best };

    void stream(int number, const QByteArray &entries, const QByteArray &data,
                Compression compression = Compression::Fast)
    {
        // qCompress puts the length in front of a zlib stream, which is what FlateDecode reads.
        const QByteArray deflated = qCompress(data, compression == Compression::Fast ? 1 : 9).mid(4);
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
    const FontFace *face = nullptr;
    QByteArray resource; // the name pages use: /F1, /F2
    int font = 0;
    int cidFont = 0;
    int descriptor = 0;
    int program = 0;
    int toUnicode = 0;
    std::map<quint32, std::pair<float, char16_t>> used; // glyph: advance per point, character
    std::vector<bool> seen;                              // by glyph: in `used` already

    void use(quint32 glyph, float advance, char16_t character)
    {
        if (glyph >= seen.size())
            seen.resize(glyph + 1);
        if (!seen[glyph]) {
            seen[glyph] = true;
            used.emplace(glyph, std::make_pair(advance, character));
        }
    }
};

// Writes a page's drawing as PDF operators, in points from the bottom left.
class PdfCanvas final : public ReportCanvas
{
public:
    PdfCanvas(std::vector<EmbeddedFace> &faces, QPointF origin, qreal pageHeight)
        : m_faces(faces)
        , m_origin(origin)
        , m_pageHeight(pageHeight)
    {
    }

    void text(const FontFace &face, qreal size, QPointF origin, QStringView text, bool ellipsis,
              const QRectF &) override
    {
        if (text.isEmpty() && !ellipsis)
            return;
        EmbeddedFace &embedded = embeddedFor(face);
        m_content.append("BT /");
        m_content.append(embedded.resource);
        m_content.append(' ');
        appendNumber(m_content, size);
        m_content.append(" Tf 1 0 0 1 ");
        appendPoint(origin);
        m_content.append(" Tm <");
        const auto add = [&](QChar c) {
            const FontFace::Glyph &glyph = face.glyph(c.unicode());
            embedded.use(glyph.index, glyph.advance, c.unicode());
            appendHex(m_content, glyph.index);
        };
        for (const QChar c : text)
            add(c);
        if (ellipsis)
            add(Ellipsis);
        m_content.append("> Tj ET\n");
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

    QByteArray takeContent() { return std::exchange(m_content, QByteArray()); }

private:
    void appendPoint(QPointF point)
    {
        appendNumber(m_content, m_origin.x() + point.x());
        m_content.append(' ');
        appendNumber(m_content, m_pageHeight - m_origin.y() - point.y());
    }

    EmbeddedFace &embeddedFor(const FontFace &face)
    {
        for (EmbeddedFace &embedded : m_faces) {
            if (embedded.face == &face)
                return embedded;
        }
        Q_UNREACHABLE();
    }

    std::vector<EmbeddedFace> &m_faces;
    QPointF m_origin;
    qreal m_pageHeight;
    QByteArray m_content;
};

// The six capitals that name a subset of a font, from the glyphs in it.
QByteArray subsetTag(const std::map<quint32, std::pair<float, char16_t>> &used)
{
    quint32 hash = 2166136261u;
    for (const auto &entry : used)
        hash = (hash ^ entry.first) * 16777619u;
    QByteArray tag;
    for (int i = 0; i < 6; ++i, hash /= 26)
        tag += char('A' + hash % 26);
    return tag;
}

QByteArray postScriptName(const FontFace &face)
{
    QByteArray name;
    for (const QChar c : face.raw().familyName()) {
        if (c.isLetterOrNumber() && c.unicode() < 128)
            name += char(c.unicode());
    }
    if (name.isEmpty())
        name = "Sans";
    return face.isBold() ? name + "-Bold" : name;
}

void writeFace(PdfObjects &objects, const EmbeddedFace &embedded)
{
    const FontFace &face = *embedded.face;
    const QByteArray program = TrueTypeSubset::program(face.raw(), embedded.seen);
    const QByteArray name = subsetTag(embedded.used) + '+' + postScriptName(face);

    QByteArray widths = "[";
    QByteArray characters;
    int entries = 0;
    QByteArray mappings;
    for (const auto &[glyph, use] : embedded.used) {
        widths += ' ' + QByteArray::number(glyph) + " [" + number(use.first * 1000) + ']';
        characters += '<' + hexGlyph(glyph) + "> <" + hexGlyph(use.second) + ">\n";
        if (++entries == 100) {
            mappings += "100 beginbfchar\n" + characters + "endbfchar\n";
            characters.clear();
            entries = 0;
        }
    }
    if (entries > 0)
        mappings += QByteArray::number(entries) + " beginbfchar\n" + characters + "endbfchar\n";
    widths += " ]";

    const QByteArray head = face.raw().fontTable("head");
    const qreal unitsPerEm = qFromBigEndian<quint16>(head.constData() + 18);
    const auto designUnits = [&](int offset) {
        return QByteArray::number(qRound(qFromBigEndian<qint16>(head.constData() + offset) * 1000 / unitsPerEm));
    };
    objects.object(embedded.font, "<< /Type /Font /Subtype /Type0 /BaseFont /" + name
                                      + " /Encoding /Identity-H /DescendantFonts ["
                                      + QByteArray::number(embedded.cidFont) + " 0 R] /ToUnicode "
                                      + QByteArray::number(embedded.toUnicode) + " 0 R >>");
    objects.object(embedded.cidFont,
                   "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + name
                       + " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor "
                       + QByteArray::number(embedded.descriptor) + " 0 R /CIDToGIDMap /Identity /W " + widths + " >>");
    objects.object(embedded.descriptor,
                   "<< /Type /FontDescriptor /FontName /" + name + " /Flags 32 /FontBBox [" + designUnits(36) + ' '
                       + designUnits(38) + ' ' + designUnits(40) + ' ' + designUnits(42) + "] /ItalicAngle 0 /Ascent "
                       + number(face.ascent(1000)) + " /Descent " + number(-face.descent(1000)) + " /CapHeight "
                       + number(face.raw().capHeight()) + " /StemV " + (face.isBold() ? "120" : "80")
                       + " /FontFile2 " + QByteArray::number(embedded.program) + " 0 R >>");
    objects.stream(embedded.program, "/Length1 " + QByteArray::number(program.size()), program,
                   PdfObjects::Compression::Best);
    objects.stream(embedded.toUnicode, QByteArray(),
                   "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                   "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                   "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                   "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n"
                       + mappings
                       + "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n");
}

} // namespace

PrintResult ReportPdf::write(const ReportDocument &document, const QString &path)
{
    if (canWriteDirectly(document))
        return writeDirectly(document, path);
    return writePdf(document, path);
}

bool ReportPdf::canWriteDirectly(const ReportDocument &document)
{
    const Report &report = document.report();
    const FontFace &regular = report.fonts->regular();
    const FontFace &bold = report.fonts->bold();
    const QStringView ellipsis(&Ellipsis, 1);
    if (!regular.isDirect(ellipsis) || !bold.isDirect(ellipsis))
        return false;
    if (!TrueTypeSubset::canEmbed(regular.raw()) || !TrueTypeSubset::canEmbed(bold.raw()))
        return false;
    for (const QString &text : document.fixedTexts()) {
        if (!regular.isDirect(text) || !bold.isDirect(text))
            return false;
    }
    const ReportRows &rows = *report.rows;
    for (qsizetype row = 0; row < rows.rowCount(); ++row) {
        for (int column = 0; column < rows.columnCount(); ++column) {
            const QString &value = rows.cell(row, column);
            // A line feed only separates lines; it is never drawn.
            if (!regular.isDirect(value) && !regular.isDirect(QString(value).remove(QLatin1Char('\n'))))
                return false;
        }
    }
    return true;
}

PrintResult ReportPdf::writeDirectly(const ReportDocument &document, const QString &path)
{
    const QString shownPath = QDir::toNativeSeparators(path);
    const auto failed = [&](const QString &why) {
        return PrintResult{false, tr("%1 cannot be written: %2.").arg(shownPath, why)};
    };
    AtomicFile file(path); // readable by its owner only, unless it replaces a file
    if (!file.open())
        return failed(file.errorString());

    const Report &report = document.report();
    PdfObjects objects(*file.device());
    const int catalog = objects.reserve();
    const int pageTree = objects.reserve();
    const int info = objects.reserve();
    std::vector<EmbeddedFace> faces;
    for (const FontFace *face : {&report.fonts->regular(), &report.fonts->bold()}) {
        EmbeddedFace embedded;
        embedded.face = face;
        embedded.resource = "F" + QByteArray::number(qsizetype(faces.size() + 1));
        embedded.font = objects.reserve();
        embedded.cidFont = objects.reserve();
        embedded.descriptor = objects.reserve();
        embedded.program = objects.reserve();
        embedded.toUnicode = objects.reserve();
        faces.push_back(embedded);
    }
    QByteArray resources = "<< /Font <<";
    for (const EmbeddedFace &embedded : faces)
        resources += " /" + embedded.resource + ' ' + QByteArray::number(embedded.font) + " 0 R";
    resources += " >> >>";

    const QPageLayout layout = report.layout.pageLayout;
    const QSizeF page = layout.fullRect(QPageLayout::Point).size();
    const QByteArray mediaBox = "[0 0 " + number(page.width()) + ' ' + number(page.height()) + ']';
    PdfCanvas canvas(faces, layout.paintRect(QPageLayout::Point).topLeft(), page.height());
    QByteArray kids;
    for (int index = 0; index < document.pageCount() && objects.ok(); ++index) {
        document.composePage(index, canvas);
        const int content = objects.reserve();
        objects.stream(content, QByteArray(), canvas.takeContent());
        const int pageObject = objects.reserve();
        objects.object(pageObject, "<< /Type /Page /Parent " + QByteArray::number(pageTree) + " 0 R /MediaBox "
                                       + mediaBox + " /Resources " + resources + " /Contents "
                                       + QByteArray::number(content) + " 0 R >>");
        kids += QByteArray::number(pageObject) + " 0 R ";
    }

    for (const EmbeddedFace &embedded : faces)
        writeFace(objects, embedded);
    objects.object(pageTree, "<< /Type /Pages /Kids [" + kids + "] /Count "
                                 + QByteArray::number(document.pageCount()) + " >>");
    objects.object(catalog, "<< /Type /Catalog /Pages " + QByteArray::number(pageTree) + " 0 R >>");
    objects.object(info, "<< /Title " + unicodeString(document.title()) + " /Creator (Merivo) /Producer (Merivo) >>");
    objects.finish(catalog, info);

    if (!objects.ok())
        return failed(file.device()->errorString());
    if (!file.commit())
        return failed(file.errorString());
    return {true, QString()};
}
