#include "ReportDocument.h"

#include "Report.h"
#include "ReportCanvas.h"
#include "TextWrap.h"

#include <QGlyphRun>
#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace {

const QColor TextColour(Qt::black);
const QColor RuleColour(0x80, 0x80, 0x80);
const QColor RowRuleColour(0xd0, 0xd0, 0xd0);

// Draws on a QPainter whose unit is the point. Direct text is gathered per
// face and size and drawn with one call per page: a call per value would
// take far longer for a report of a hundred thousand rows.
class PainterCanvas final : public ReportCanvas
{
public:
    explicit PainterCanvas(QPainter &painter)
        : m_painter(painter)
    {
    }

    void text(const FontFace &face, qreal size, QPointF origin, QStringView text, bool ellipsis,
              const QRectF &clip) override
    {
        if (face.isDirect(text) && (!ellipsis || face.isDirect(QStringView(&Ellipsis, 1)))) {
            Run &run = runFor(face, size);
            const auto place = [&](QChar c) {
                const FontFace::Glyph &glyph = face.glyph(c.unicode());
                run.glyphs.append(glyph.index);
                run.positions.append(origin);
                origin.rx() += glyph.advance * size;
            };
            for (const QChar c : text)
                place(c);
            if (ellipsis)
                place(Ellipsis);
            return;
        }
        // Text that needs shaping or other fonts: drawn by Qt, kept to its box.
        m_painter.save();
        m_painter.setClipRect(clip, Qt::IntersectClip);
        m_painter.setPen(TextColour);
        m_painter.setFont(face.font(size));
        m_painter.drawText(origin, ellipsis ? text.toString() + Ellipsis : text.toString());
        m_painter.restore();
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
            QGlyphRun glyphs;
            glyphs.setRawFont(run.face->rawFont(run.size));
            glyphs.setGlyphIndexes(run.glyphs);
            glyphs.setPositions(run.positions);
            m_painter.drawGlyphRun(QPointF(0, 0), glyphs);
        }
        m_runs.clear();
    }

private:
    struct Run
    {
        const FontFace *face;
        qreal size;
        QList<quint32> glyphs;
        QList<QPointF> positions;
    };

    Run &runFor(const FontFace &face, qreal size)
    {
        for (Run &run : m_runs) {
            if (run.face == &face && run.size == size)
                return run;
        }
        m_runs.push_back({&face, size, {}, {}});
        return m_runs.back();
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
    if (index < 0 || index >= m_report->layout.pages.size())
        return;
    composeHeader(canvas);
    composeHeadings(canvas);
    composeRows(canvas, m_report->layout.pages[index]);
    composeFooter(canvas, index);
}

QString ReportDocument::dateText() const
{
    return QLocale().toString(m_report->producedAt.date(), QLocale::LongFormat);
}

QString ReportDocument::pageLabel(int index) const
{
    return tr("Page %1 of %2").arg(index + 1).arg(pageCount());
}

QStringList ReportDocument::fixedTexts() const
{
    QStringList texts = {m_report->definition.title, dateText(), tr("There are no rows to show."),
                         tr("Page %1 of %2").arg(1234567890).arg(1234567890)};
    for (const ReportColumn &column : m_report->definition.columns)
        texts.append(column.heading);
    return texts;
}

void ReportDocument::composeHeader(ReportCanvas &canvas) const
{
    const ReportLayout &layout = m_report->layout;
    const FontFace &regular = m_report->fonts->regular();
    const FontFace &bold = m_report->fonts->bold();
    const QRectF page(QPointF(0, 0), layout.area);
    const qreal rule = layout.metrics.headerHeight - 4;
    const qreal textBottom = rule - 3;

    const QString date = dateText();
    const qreal dateWidth = regular.advance(date, ReportFonts::BodySize);
    canvas.text(regular, ReportFonts::BodySize,
                QPointF(layout.area.width() - dateWidth, textBottom - regular.descent(ReportFonts::BodySize)), date,
                false, page);

    const QString &title = m_report->definition.title;
    const qreal titleRoom = std::max<qreal>(1, layout.area.width() - dateWidth - 12);
    const TextLine line = wrapText(title, titleRoom, 1, FaceMeasure(bold, ReportFonts::TitleSize)).constFirst();
    canvas.text(bold, ReportFonts::TitleSize, QPointF(0, textBottom - bold.descent(ReportFonts::TitleSize)),
                QStringView(title).sliced(line.start, line.length), line.elided, page);

    canvas.line(QLineF(0, rule, layout.area.width(), rule), TextColour, 1);
}

void ReportDocument::composeHeadings(ReportCanvas &canvas) const
{
    const ReportLayout &layout = m_report->layout;
    const FontFace &bold = m_report->fonts->bold();
    const FaceMeasure measure(bold, ReportFonts::BodySize);
    const qreal top = layout.metrics.headerHeight;
    const qreal bottom = layout.bodyTop() - 2;
    const qreal baseline =
        top + (bottom - top + bold.ascent(ReportFonts::BodySize) - bold.descent(ReportFonts::BodySize)) / 2;

    for (int column = 0; column < layout.columns.size(); ++column) {
        const ReportColumnPlace &place = layout.columns[column];
        const QString &heading = m_report->definition.columns[column].heading;
        const TextLine line = wrapText(heading, place.textWidth, 1, measure).constFirst();
        canvas.text(bold, ReportFonts::BodySize, QPointF(place.x, baseline),
                    QStringView(heading).sliced(line.start, line.length), line.elided,
                    QRectF(place.x, top, place.textWidth, bottom - top));
    }
    canvas.line(QLineF(0, bottom, layout.area.width(), bottom), RuleColour, 0.75);
}

void ReportDocument::composeRows(ReportCanvas &canvas, const ReportPage &page) const
{
    const ReportLayout &layout = m_report->layout;
    const ReportRows &rows = *m_report->rows;
    const FontFace &regular = m_report->fonts->regular();
    const TextMeasure &measure = m_report->fonts->bodyMeasure();
    const qreal ascent = regular.ascent(ReportFonts::BodySize);

    if (rows.rowCount() == 0) {
        const QString none = tr("There are no rows to show.");
        canvas.text(regular, ReportFonts::BodySize, QPointF(0, layout.bodyTop() + layout.metrics.rowPadding + ascent),
                    none, false, QRectF(QPointF(0, 0), layout.area));
        return;
    }

    qreal top = layout.bodyTop();
    for (qsizetype row = page.firstRow; row < page.firstRow + page.rowCount; ++row) {
        const qreal height = layout.rowHeight(row);
        for (int column = 0; column < layout.columns.size(); ++column) {
            const ReportColumnPlace &place = layout.columns[column];
            const QString &value = rows.cell(row, column);
            // Most values fit on their line as they are; only the others are wrapped.
            QList<TextLine> lines;
            if (!value.contains(QLatin1Char('\n')) && measure.advance(value) <= place.textWidth)
                lines = {TextLine{0, value.size(), false}};
            else
                lines = wrapText(value, place.textWidth, place.maxLines, measure);
            const QRectF cell(place.x, top, place.textWidth, height);
            for (qsizetype i = 0; i < lines.size(); ++i) {
                const QPointF origin(place.x, top + layout.metrics.rowPadding + i * layout.metrics.lineHeight + ascent);
                canvas.text(regular, ReportFonts::BodySize, origin,
                            QStringView(value).sliced(lines[i].start, lines[i].length), lines[i].elided, cell);
            }
        }
        top += height;
        canvas.line(QLineF(0, top, layout.area.width(), top), RowRuleColour, 0.5);
    }
}

void ReportDocument::composeFooter(ReportCanvas &canvas, int index) const
{
    const ReportLayout &layout = m_report->layout;
    const FontFace &regular = m_report->fonts->regular();
    const QString label = pageLabel(index);
    const qreal width = regular.advance(label, ReportFonts::BodySize);
    canvas.text(regular, ReportFonts::BodySize,
                QPointF((layout.area.width() - width) / 2,
                        layout.area.height() - regular.descent(ReportFonts::BodySize)),
                label, false, QRectF(QPointF(0, 0), layout.area));
}
