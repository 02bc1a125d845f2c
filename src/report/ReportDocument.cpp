#include "ReportDocument.h"

#include "Report.h"
#include "ReportCanvas.h"
#include "TextShaper.h"
#include "TextWrap.h"

#include <QGlyphRun>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <vector>

namespace {

const QColor TextColour(Qt::black);
const QColor RuleColour(0x80, 0x80, 0x80);
const QColor RowRuleColour(0xd0, 0xd0, 0xd0);

// Draws on a QPainter whose unit is the point. Glyphs are gathered per face
// and size and drawn with one call each per page: a call per value would
// take far longer for a report of a hundred thousand rows.
class PainterCanvas final : public ReportCanvas
{
public:
    explicit PainterCanvas(QPainter &painter)
        : m_painter(painter)
    {
    }

    void text(const ShapedLine &line, const FontFaces &faces, qreal size, QPointF origin, const QRectF &) override
    {
        for (const ShapedRun &shaped : line.runs) {
            Run &run = runFor(faces, shaped.face, size);
            for (int i = shaped.first; i < shaped.first + shaped.count; ++i) {
                run.glyphs.append(line.glyphs[size_t(i)]);
                run.positions.append(origin + line.positions[size_t(i)] * size);
            }
        }
    }

    void line(const QLineF &line, const QColor &colour, qreal width) override
    {
        m_painter.setPen(QPen(colour, width));
        m_painter.drawLine(line);
    }

    void finish()
    {
        m_painter.setPen(TextColour);
        for (const Run &run : m_runs) {
            if (run.emboldening > 0) {
                drawEmboldened(run);
                continue;
            }
            QGlyphRun glyphs;
            glyphs.setRawFont(run.raw);
            glyphs.setGlyphIndexes(run.glyphs);
            glyphs.setPositions(run.positions);
            m_painter.drawGlyphRun(QPointF(0, 0), glyphs);
        }
        m_runs.clear();
    }

private:
    struct Run
    {
        int face;
        qreal size;
        qreal emboldening; // per point
        QRawFont raw;
        QList<quint32> glyphs;
        QList<QPointF> positions;
    };

    Run &runFor(const FontFaces &faces, int face, qreal size)
    {
        for (Run &run : m_runs) {
            if (run.face == face && run.size == size)
                return run;
        }
        QRawFont raw = faces.face(face).raw;
        raw.setPixelSize(size);
        m_runs.push_back({face, size, faces.face(face).emboldening, raw, {}, {}});
        return m_runs.back();
    }

    // A bold the font lacks, drawn as the PDF file draws it: the outlines
    // filled and stroked.
    void drawEmboldened(const Run &run)
    {
        QPainterPath outlines;
        for (qsizetype i = 0; i < run.glyphs.size(); ++i)
            outlines.addPath(run.raw.pathForGlyph(run.glyphs[i]).translated(run.positions[i]));
        m_painter.save();
        m_painter.setRenderHint(QPainter::Antialiasing);
        m_painter.setPen(QPen(TextColour, run.emboldening * run.size, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        m_painter.setBrush(TextColour);
        m_painter.drawPath(outlines);
        m_painter.restore();
    }

    QPainter &m_painter;
    std::vector<Run> m_runs;
};

} // namespace

ReportDocument::ReportDocument(std::shared_ptr<const Report> report)
    : m_report(std::move(report))
{
}

QString ReportDocument::title() const
{
    return m_report->definition.title;
}

int ReportDocument::pageCount() const
{
    return m_report->pageCount();
}

QPageLayout ReportDocument::pageLayout() const
{
    return m_report->layout.pageLayout;
}

void ReportDocument::paintPage(int index, QPainter &painter, const QRectF &area) const
{
    const ReportLayout &layout = m_report->layout;
    // The report is laid out in points; the device may have any resolution,
    // and a printer's printable area may be smaller than the report's.
    const qreal scale = std::min(area.width() / layout.area.width(), area.height() / layout.area.height());
    painter.translate(area.topLeft());
    painter.scale(scale, scale);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setClipRect(QRectF(QPointF(0, 0), layout.area), Qt::IntersectClip);

    PainterCanvas canvas(painter);
    composePage(index, canvas);
    canvas.finish();
}

void ReportDocument::composePage(int index, ReportCanvas &canvas) const
{
    composePage(index, canvas, *m_report->fonts);
}

void ReportDocument::composePage(int index, ReportCanvas &canvas, const ReportFonts &fonts) const
{
    if (index < 0 || index >= m_report->layout.pages.size())
        return;
    Composer composer{canvas, fonts, {}};
    composeHeader(composer);
    composeHeadings(composer);
    composeRows(composer, m_report->layout.pages[index]);
    composeFooter(composer, index);
}

QString ReportDocument::dateText() const
{
    return QLocale().toString(m_report->producedAt.date(), QLocale::LongFormat);
}

QString ReportDocument::pageLabel(int index) const
{
    return tr("Page %1 of %2").arg(index + 1).arg(pageCount());
}

QString ReportDocument::noRowsText()
{
    return tr("There are no rows to show.");
}

// One line of text in its box: from the left edge, or for a text that reads
// right to left from the right one; its ink keeps within the box. A line
// of a longer text goes the way that text reads, whatever its own letters.
void ReportDocument::Composer::draw(const TextShaper &shaper, qreal size, QStringView text, bool elided,
                                    const QRectF &box, qreal baseline, Qt::Alignment alignment, bool rightToLeft)
{
    shaper.shape(text, elided, rightToLeft, shaped);
    place(size, box, baseline, alignment);
}

void ReportDocument::Composer::place(qreal size, const QRectF &box, qreal baseline, Qt::Alignment alignment)
{
    const bool rightToLeft = shaped.rightToLeft;
    if (alignment == Qt::AlignLeft && rightToLeft)
        alignment = Qt::AlignRight;
    qreal x = box.left() - shaped.left() * size;
    if (alignment == Qt::AlignRight)
        x = box.right() - shaped.right() * size;
    else if (alignment == Qt::AlignHCenter)
        x = box.center().x() - (shaped.left() + shaped.right()) * size / 2;
    canvas.text(shaped, fonts.faces(), size, QPointF(x, baseline), box);
}

void ReportDocument::composeHeader(Composer &composer) const
{
    const ReportLayout &layout = m_report->layout;
    const ReportFonts &fonts = composer.fonts;
    const qreal rule = layout.metrics.headerHeight - 4;
    const qreal textBottom = rule - 3;

    const QString date = dateText();
    const qreal dateWidth = fonts.regular().width(date) * ReportFonts::BodySize;
    composer.draw(fonts.regular(), ReportFonts::BodySize, date, false,
                  QRectF(layout.area.width() - dateWidth, 0, dateWidth, rule),
                  textBottom - layout.metrics.descent * ReportFonts::BodySize, Qt::AlignRight,
                  fonts.regular().readsRightToLeft(date));

    const QString &title = m_report->definition.title;
    const qreal titleRoom = std::max<qreal>(1, layout.area.width() - dateWidth - 12);
    const ShapedMeasure measure(fonts.bold(), ReportFonts::TitleSize);
    const TextLine line = wrapText(title, titleRoom, 1, measure).constFirst();
    composer.draw(fonts.bold(), ReportFonts::TitleSize, QStringView(title).sliced(line.start, line.length),
                  line.elided, QRectF(0, 0, titleRoom, rule),
                  textBottom - layout.metrics.descent * ReportFonts::TitleSize, Qt::AlignLeft,
                  fonts.bold().readsRightToLeft(title));

    composer.canvas.line(QLineF(0, rule, layout.area.width(), rule), TextColour, 1);
}

void ReportDocument::composeHeadings(Composer &composer) const
{
    const ReportLayout &layout = m_report->layout;
    const TextShaper &bold = composer.fonts.bold();
    const ShapedMeasure measure(bold, ReportFonts::BodySize);
    const qreal top = layout.metrics.headerHeight;
    const qreal bottom = layout.bodyTop() - 2;
    const qreal baseline =
        top + (bottom - top + (layout.metrics.ascent - layout.metrics.descent) * ReportFonts::BodySize) / 2;

    for (int column = 0; column < layout.columns.size(); ++column) {
        const ReportColumnPlace &place = layout.columns[column];
        const QString &heading = m_report->definition.columns[column].heading;
        const TextLine line = wrapText(heading, place.textWidth, 1, measure).constFirst();
        composer.draw(bold, ReportFonts::BodySize, QStringView(heading).sliced(line.start, line.length),
                      line.elided, QRectF(place.x, top, place.textWidth, bottom - top), baseline, Qt::AlignLeft,
                      bold.readsRightToLeft(heading));
    }
    composer.canvas.line(QLineF(0, bottom, layout.area.width(), bottom), RuleColour, 0.75);
}

void ReportDocument::composeRows(Composer &composer, const ReportPage &page) const
{
    const ReportLayout &layout = m_report->layout;
    const ReportRows &rows = *m_report->rows;
    const TextShaper &regular = composer.fonts.regular();
    const TextMeasure &measure = composer.fonts.bodyMeasure();
    const qreal ascent = layout.metrics.ascent * ReportFonts::BodySize;

    if (rows.rowCount() == 0) {
        const QRectF box(0, layout.bodyTop(), layout.area.width(), layout.bodyHeight());
        const QString none = noRowsText();
        composer.draw(regular, ReportFonts::BodySize, none, false, box, box.top() + layout.metrics.rowPadding + ascent,
                      Qt::AlignLeft, regular.readsRightToLeft(none));
        return;
    }

    std::vector<QString> cells;
    qreal top = layout.bodyTop();
    for (qsizetype row = page.firstRow; row < page.firstRow + page.rowCount; ++row) {
        rows.read(row, cells);
        const qreal height = layout.rowHeight(row);
        for (int column = 0; column < layout.columns.size(); ++column) {
            const ReportColumnPlace &place = layout.columns[column];
            const QString &value = cells[size_t(column)];
            const QRectF cell(place.x, top, place.textWidth, height);
            const qreal baseline = top + layout.metrics.rowPadding + ascent;
            const bool rightToLeft = regular.readsRightToLeft(value);
            // Most values fit on their line as they are (the layout found
            // which); only the others are wrapped.
            if (layout.fitsOneLine(row, column)) {
                composer.draw(regular, ReportFonts::BodySize, value, false, cell, baseline, Qt::AlignLeft, rightToLeft);
                continue;
            }
            const QList<TextLine> lines = wrapText(value, place.textWidth, place.maxLines, measure);
            for (qsizetype i = 0; i < lines.size(); ++i) {
                const qreal baseline = top + layout.metrics.rowPadding + i * layout.metrics.lineHeight + ascent;
                composer.draw(regular, ReportFonts::BodySize, QStringView(value).sliced(lines[i].start, lines[i].length),
                              lines[i].elided, cell, baseline, Qt::AlignLeft, rightToLeft);
            }
        }
        top += height;
        composer.canvas.line(QLineF(0, top, layout.area.width(), top), RowRuleColour, 0.5);
    }
}

void ReportDocument::composeFooter(Composer &composer, int index) const
{
    const ReportLayout &layout = m_report->layout;
    const TextShaper &regular = composer.fonts.regular();
    const QString label = pageLabel(index);
    composer.draw(regular, ReportFonts::BodySize, label, false,
                  QRectF(0, layout.area.height() - layout.metrics.footerHeight, layout.area.width(),
                         layout.metrics.footerHeight),
                  layout.area.height() - layout.metrics.descent * ReportFonts::BodySize, Qt::AlignHCenter,
                  regular.readsRightToLeft(label));
}
