#include "ReportPdf.h"

#include "FontSubset.h"
#include "ReportFonts.h"
#include "Report.h"
#include "ReportCanvas.h"
#include "ReportDocument.h"
#include "ReportProgress.h"
#include "TextShaper.h"
#include "files/AtomicFile.h"

#include <QDir>
#include <QThread>
#include <QtConcurrent>
#include <QtEndian>

#include <cmath>
#include <string>
#include <vector>

#include <libdeflate.h>

namespace {

// Numbers and glyphs are written millions of times for a large report:
// straight into the output, without a text of their own each.

// A number to two decimals, in as few characters as say it ("12", "-3.5").
template<typename Out>
void appendNumber(Out &out, qreal value)
{
    char text[32];
    char *const end = text + sizeof text;
    char *at = end;
    const auto hundredths = static_cast<long long>(value * 100 + (value < 0 ? -0.5 : 0.5));
    unsigned long long rest = hundredths < 0 ? 0ull - static_cast<unsigned long long>(hundredths)
                                             : static_cast<unsigned long long>(hundredths);
    const auto fraction = unsigned(rest % 100);
    rest /= 100;
    if (fraction != 0) {
        if (fraction % 10 != 0)
            *--at = char('0' + fraction % 10);
        *--at = char('0' + fraction / 10);
        *--at = '.';
    }
    do {
        *--at = char('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (hundredths < 0)
        *--at = '-';
    out.append(at, size_t(end - at));
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

    template<size_t N>
    void append(const char (&literal)[N])
    {
        text.append(literal, N - 1);
    }
    void append(const char *data, size_t size) { text.append(data, size); }
    void append(char c) { text.push_back(c); }
    void append(const QByteArray &bytes) { text.append(bytes.constData(), size_t(bytes.size())); }

    // A glyph number as the two bytes of a literal string.
    void appendGlyph(quint32 glyph)
    {
        const char high = char(glyph >> 8);
        const char low = char(glyph & 0xff);
        if (!needsEscape(high) && !needsEscape(low)) {
            text.push_back(high);
            text.push_back(low);
            return;
        }
        char bytes[4];
        size_t size = 0;
        for (const char byte : {high, low}) {
            if (needsEscape(byte)) {
                bytes[size++] = '\\';
                bytes[size++] = byte == '\r' ? 'r' : byte; // a bare carriage return reads as a line feed
            } else {
                bytes[size++] = byte;
            }
        }
        text.append(bytes, size);
    }

    static bool needsEscape(char byte) { return byte == '(' || byte == ')' || byte == '\\' || byte == '\r'; }
};

// Pages composed and compressed at a time, before they are written.
constexpr int PagesInBatch = 32;
// Threads that compose pages, at most.
constexpr int MaxLanes = 4;

// Pages are compressed fast: a large report is written in half the time
// for a quarter more bytes. What is written once, as the fonts, is
// compressed well.
enum class Compression { Fast = 1, Best = 9 };

// Compresses streams as FlateDecode reads them; one for each thread.
class Deflater
{
public:
    explicit Deflater(Compression compression)
        : m_compressor(libdeflate_alloc_compressor(int(compression)))
    {
    }
    Deflater(Deflater &&other) noexcept
        : m_compressor(std::exchange(other.m_compressor, nullptr))
    {
    }
    Deflater(const Deflater &) = delete;
    Deflater &operator=(const Deflater &) = delete;
    ~Deflater() { libdeflate_free_compressor(m_compressor); }

    // Null when it cannot be done (out of memory).
    QByteArray deflated(QByteArrayView data) const
    {
        if (!m_compressor)
            return QByteArray();
        QByteArray out(qsizetype(libdeflate_zlib_compress_bound(m_compressor, size_t(data.size()))),
                       Qt::Uninitialized);
        const size_t size = libdeflate_zlib_compress(m_compressor, data.data(), size_t(data.size()), out.data(),
                                                     size_t(out.size()));
        if (size == 0)
            return QByteArray();
        out.truncate(qsizetype(size));
        return out;
    }

private:
    libdeflate_compressor *m_compressor;
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

    // A stream compressed well: written once.
    void stream(int number, const QByteArray &entries, QByteArrayView data)
    {
        compressedStream(number, entries, Deflater(Compression::Best).deflated(data));
    }

    // A stream whose data is compressed already.
    void compressedStream(int number, const QByteArray &entries, const QByteArray &deflated)
    {
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
    void fail() { m_ok = false; }

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

// The glyphs of each face that pages use, as one thread saw them.
class UsedGlyphs
{
public:
    // Which glyphs of `face` are used, by glyph number; to be grown as needed.
    std::vector<bool> &face(int face)
    {
        if (size_t(face) >= m_seen.size())
            m_seen.resize(size_t(face) + 1);
        return m_seen[size_t(face)];
    }

    // Those of every thread, in order, by face.
    static std::vector<std::vector<quint32>> merged(const std::vector<const UsedGlyphs *> &all)
    {
        std::vector<std::vector<quint32>> glyphs;
        for (const UsedGlyphs *used : all) {
            glyphs.resize(std::max(glyphs.size(), used->m_seen.size()));
            for (size_t face = 0; face < used->m_seen.size(); ++face) {
                for (size_t glyph = 0; glyph < used->m_seen[face].size(); ++glyph) {
                    if (used->m_seen[face][glyph])
                        glyphs[face].push_back(quint32(glyph));
                }
            }
        }
        for (std::vector<quint32> &face : glyphs) {
            std::sort(face.begin(), face.end());
            face.erase(std::unique(face.begin(), face.end()), face.end());
        }
        return glyphs;
    }

private:
    std::vector<std::vector<bool>> m_seen; // by face and glyph
};

// The name pages know a face by.
QByteArray resourceName(int face)
{
    return 'F' + QByteArray::number(face + 1);
}

// Writes a page's drawing as PDF operators, in points from the bottom left:
// the rules first, then all the text in one text object, the font set only
// where it changes and each line placed relative to the one before.
class PdfCanvas final : public ReportCanvas
{
public:
    PdfCanvas(QPointF origin, qreal pageHeight)
        : m_origin(origin)
        , m_pageHeight(pageHeight)
    {
    }

    void text(const ShapedLine &line, const FontFaces &faces, qreal size, QPointF origin, const QRectF &) override
    {
        if (line.glyphs.empty())
            return;
        auto span = line.spans.cbegin();
        int spanEnd = -1; // the glyph after the open span
        bool open = false; // a TJ array
        const auto closeArray = [&] {
            if (open)
                m_text.append(")]TJ\n");
            open = false;
        };
        const QPointF start = page(origin);
        for (const ShapedRun &run : line.runs) {
            std::vector<bool> &used = m_used.face(run.face);
            if (run.face != m_font || size != m_fontSize) {
                closeArray();
                m_text.append('/');
                m_text.append(resourceName(run.face));
                m_text.append(' ');
                appendNumber(m_text, size);
                m_text.append(" Tf\n");
                // A bold the font lacks: its outlines are stroked as well as filled.
                const qreal stroke = faces.face(run.face).emboldening * size;
                if (stroke != m_stroke) {
                    if (stroke > 0) {
                        m_text.append("0 G ");
                        appendNumber(m_text, stroke);
                        m_text.append(" w 2 Tr\n");
                    } else {
                        m_text.append("0 Tr\n");
                    }
                    m_stroke = stroke;
                }
                m_font = run.face;
                m_fontSize = size;
            }
            for (int i = run.first; i < run.first + run.count; ++i) {
                // Glyphs that do not tell their text by themselves carry it along.
                if (i == spanEnd) {
                    closeArray();
                    m_text.append("EMC\n");
                    spanEnd = -1;
                }
                if (span != line.spans.cend() && span->first == i) {
                    closeArray();
                    m_text.append("/Span<</ActualText ");
                    appendUnicodeString(m_text, span->text);
                    m_text.append(">>BDC\n");
                    spanEnd = span->first + span->count;
                    ++span;
                }
                const quint32 glyph = line.glyphs[size_t(i)];
                if (glyph >= used.size())
                    used.resize(glyph + 1);
                used[glyph] = true;
                const QPointF &position = line.positions[size_t(i)];
                const QPointF at(start.x() + position.x() * size, start.y() - position.y() * size);
                // Glyphs on one baseline go in one string; where one is not
                // where the pen stands after the one before, a shift says so.
                if (open && std::abs(at.y() - m_baseline) > 0.001)
                    closeArray();
                if (!open) {
                    moveTo(at);
                    m_text.append("[(");
                    open = true;
                } else if (std::abs(m_pen.x() - at.x()) > 0.01) {
                    const qreal shift = std::round((m_pen.x() - at.x()) * 10000 / size) / 10;
                    m_text.append(')');
                    appendNumber(m_text, shift);
                    m_text.append('(');
                    m_pen.rx() -= shift * size / 1000;
                }
                m_text.appendGlyph(glyph);
                m_pen.rx() += line.advances[size_t(i)] * size;
            }
        }
        closeArray();
        if (spanEnd >= 0)
            m_text.append("EMC\n");
    }

    void line(const QLineF &line, const QColor &colour, qreal width) override
    {
        if (colour != m_ruleColour || width != m_ruleWidth) {
            if (m_pathOpen)
                m_rules.append("S\n");
            m_pathOpen = false;
            for (const qreal component : {colour.redF(), colour.greenF(), colour.blueF()}) {
                appendNumber(m_rules, component);
                m_rules.append(' ');
            }
            m_rules.append("RG ");
            appendNumber(m_rules, width);
            m_rules.append(" w\n");
            m_ruleColour = colour;
            m_ruleWidth = width;
        }
        appendPoint(line.p1());
        m_rules.append(" m ");
        appendPoint(line.p2());
        m_rules.append(" l\n");
        m_pathOpen = true;
    }

    const UsedGlyphs &used() const { return m_used; }

    // The page drawn so far, as its content stream; the next page starts afresh.
    std::string takeContent()
    {
        std::string content = std::exchange(m_rules.text, std::string());
        if (m_pathOpen)
            content.append("S\n");
        if (!m_text.text.empty()) {
            content.append("BT\n");
            content.append(m_text.text);
            content.append("ET\n");
        }
        m_text.text.clear();
        m_pathOpen = false;
        m_ruleColour = QColor();
        m_ruleWidth = -1;
        m_font = -1;
        m_stroke = 0;
        m_lineStart = QPointF();
        return content;
    }

private:
    // A point of the printable area in PDF's coordinates.
    QPointF page(QPointF point) const
    {
        return QPointF(m_origin.x() + point.x(), m_pageHeight - m_origin.y() - point.y());
    }

    void appendPoint(QPointF point)
    {
        const QPointF at = page(point);
        appendNumber(m_rules, at.x());
        m_rules.append(' ');
        appendNumber(m_rules, at.y());
    }

    // Starts a line of text at `at`: a move from where the last one started,
    // by the amounts as written, so that no rounding adds up.
    void moveTo(QPointF at)
    {
        const qreal dx = std::round((at.x() - m_lineStart.x()) * 100) / 100;
        const qreal dy = std::round((at.y() - m_lineStart.y()) * 100) / 100;
        appendNumber(m_text, dx);
        m_text.append(' ');
        appendNumber(m_text, dy);
        m_text.append(" Td");
        m_lineStart += QPointF(dx, dy);
        m_pen = m_lineStart;
        m_baseline = at.y();
    }

    QPointF m_origin;
    qreal m_pageHeight;
    UsedGlyphs m_used;
    Operators m_rules;
    Operators m_text;
    // The state of the page's content so far.
    bool m_pathOpen = false;
    QColor m_ruleColour;
    qreal m_ruleWidth = -1;
    int m_font = -1;
    qreal m_fontSize = 0;
    qreal m_stroke = 0; // the width the text's outlines are stroked with, if at all
    QPointF m_lineStart; // where the current line of text started, as written
    QPointF m_pen;       // where the next glyph goes without a shift
    qreal m_baseline = 0; // of the glyphs in the open string
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
QByteArray toUnicodeMap(const FontFaces::Face &face, const std::vector<quint32> &glyphs)
{
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

// Embeds a face with the glyphs used (in order); the number of its font
// object, or 0 when it cannot be embedded.
int writeFace(PdfObjects &objects, const FontFaces &faces, int index, const std::vector<quint32> &glyphs)
{
    const FontFaces::Face &face = faces.face(index);
    const QRawFont &raw = face.raw;
    const FontSubset subset = FontSubset::make(raw, glyphs);
    if (subset.program.isEmpty())
        return 0;
    const bool cff = subset.outlines == FontSubset::Outlines::Cff;
    struct
    {
        int font, cidFont, descriptor, program, toUnicode;
    } const embedded{objects.reserve(), objects.reserve(), objects.reserve(), objects.reserve(), objects.reserve()};
    const QByteArray name = subsetTag(glyphs) + '+' + postScriptName(raw);

    const QList<QPointF> advances = raw.advancesForGlyphIndexes(QList<quint32>(glyphs.begin(), glyphs.end()),
                                                                QRawFont::UseDesignMetrics);
    QByteArray widths = "[";
    for (size_t i = 0; i < glyphs.size(); ++i) {
        widths += ' ' + QByteArray::number(glyphs[i]) + " ["
                + number(advances.value(qsizetype(i)).x() * 1000 / FontFaces::ReferenceSize) + ']';
    }
    widths += " ]";

    const QByteArray &head = face.head;
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
                   subset.program);
    objects.stream(embedded.toUnicode, QByteArray(), toUnicodeMap(face, glyphs));
    return embedded.font;
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
    AtomicFile file(path); // readable by its owner only, unless it replaces a file
    if (!file.open())
        return failed(file.errorString());

    const Report &report = document.report();
    const FontFaces &faces = report.fonts->faces();
    PdfObjects objects(*file.device());
    const int catalog = objects.reserve();
    const int pageTree = objects.reserve();
    const int info = objects.reserve();
    const int resources = objects.reserve();

    const QPageLayout layout = report.layout.pageLayout;
    const QSizeF page = layout.fullRect(QPageLayout::Point).size();
    const QByteArray mediaBox = "[0 0 " + number(page.width()) + ' ' + number(page.height()) + ']';
    const QPointF origin = layout.paintRect(QPageLayout::Point).topLeft();

    // Pages are composed and compressed on every core, each thread with
    // fonts and a canvas of its own, a batch at a time; the batch is then
    // written in order.
    struct Lane
    {
        ReportFonts fonts;
        PdfCanvas canvas;
        Deflater deflater;
    };
    std::vector<std::unique_ptr<Lane>> lanes;
    const int laneCount = std::clamp(QThread::idealThreadCount(), 1, MaxLanes);
    for (int i = 0; i < laneCount; ++i) {
        lanes.push_back(
            std::make_unique<Lane>(Lane{*report.fonts, PdfCanvas(origin, page.height()), Deflater(Compression::Fast)}));
    }
    std::vector<QByteArray> batch(PagesInBatch);
    const int pages = document.pageCount();
    QByteArray kids;
    for (int first = 0; first < pages && objects.ok(); first += PagesInBatch) {
        if (!progress.advance(ReportProgress::Stage::Writing, first, pages)) {
            file.cancel();
            return {false, QString(), true};
        }
        const int count = std::min(PagesInBatch, pages - first);
        std::atomic<int> next{0};
        const auto compose = [&](Lane &lane) {
            for (int i = next++; i < count; i = next++) {
                document.composePage(first + i, lane.canvas, lane.fonts);
                const std::string content = lane.canvas.takeContent();
                batch[size_t(i)] = lane.deflater.deflated(QByteArrayView(content.data(), qsizetype(content.size())));
            }
        };
        QList<QFuture<void>> helpers;
        for (size_t lane = 1; lane < lanes.size(); ++lane)
            helpers.append(QtConcurrent::run([&compose, &lane = *lanes[lane]] { compose(lane); }));
        compose(*lanes.front());
        for (QFuture<void> &helper : helpers)
            helper.waitForFinished();

        for (int i = 0; i < count; ++i) {
            if (batch[size_t(i)].isNull())
                objects.fail();
            const int content = objects.reserve();
            objects.compressedStream(content, QByteArray(), batch[size_t(i)]);
            const int pageObject = objects.reserve();
            objects.object(pageObject, "<< /Type /Page /Parent " + QByteArray::number(pageTree) + " 0 R /MediaBox "
                                           + mediaBox + " /Resources " + QByteArray::number(resources)
                                           + " 0 R /Contents " + QByteArray::number(content) + " 0 R >>");
            kids += QByteArray::number(pageObject) + " 0 R ";
        }
    }

    std::vector<const UsedGlyphs *> used;
    for (const auto &lane : lanes)
        used.push_back(&lane->canvas.used());
    const std::vector<std::vector<quint32>> glyphs = UsedGlyphs::merged(used);
    QByteArray fonts;
    for (size_t face = 0; face < glyphs.size(); ++face) {
        if (glyphs[face].empty())
            continue;
        const int font = writeFace(objects, faces, int(face), glyphs[face]);
        if (font == 0) {
            file.cancel();
            return failed(tr("the font %1 cannot be embedded").arg(faces.face(int(face)).raw.familyName()));
        }
        fonts += " /" + resourceName(int(face)) + ' ' + QByteArray::number(font) + " 0 R";
    }
    objects.object(resources, "<< /Font <<" + fonts + " >> >>");
    objects.object(pageTree, "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages) + " >>");
    objects.object(catalog, "<< /Type /Catalog /Pages " + QByteArray::number(pageTree) + " 0 R >>");
    objects.object(info, "<< /Title " + unicodeString(document.title()) + " /Creator (Merivo) /Producer (Merivo) >>");
    objects.finish(catalog, info);

    if (!objects.ok())
        return failed(file.device()->errorString());
    if (!file.commit())
        return failed(file.errorString());
    return {true, QString()};
}
