#include "ReportDocument.h"

#include "Report.h"
#include "TextWrap.h"

#include <QGlyphRun>
#include <QLocale>
#include <QPainter>

#include <algorithm>

namespace {
const QColor RuleColour(0x80, 0x80, 0x80);
const QColor RowRuleColour(0xd0, 0xd0, 0xd0);
}

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
    if (index < 0 || index >= layout.pages.size())
        return;
    // The report is laid out in points; the device may have any resolution,
    // and a printer's printable area may be smaller than the report's.
    const qreal scale = std::min(area.width() / layout.area.width(), area.height() / layout.area.height());
    painter.translate(area.topLeft());
    painter.scale(scale, scale);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setClipRect(QRectF(QPointF(0, 0), layout.area));

    paintHeader(painter);
    paintHeadings(painter);
    paintRows(painter, layout.pages[index]);
    paintFooter(painter, index);
}

void ReportDocument::paintHeader(QPainter &painter) const
{
    const ReportLayout &layout = m_report->layout;
    const ReportFonts &fonts = *m_report->fonts;
    const qreal rule = layout.metrics.headerHeight - 4;

    painter.setPen(Qt::black);
    painter.setFont(fonts.body());
    const QString date = QLocale().toString(m_report->producedAt.date(), QLocale::LongFormat);
    const QRectF textBox(0, 0, layout.area.width(), rule - 3);
    QRectF dateBox;
    painter.drawText(textBox, Qt::AlignRight | Qt::AlignBottom, date, &dateBox);

    painter.setFont(fonts.title());
    const qreal titleRoom = std::max<qreal>(0, dateBox.left() - 12);
    const QString title = QFontMetricsF(fonts.title()).elidedText(m_report->definition.title, Qt::ElideRight, titleRoom);
    painter.drawText(textBox, Qt::AlignLeft | Qt::AlignBottom, title);

    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(QPointF(0, rule), QPointF(layout.area.width(), rule));
}

void ReportDocument::paintHeadings(QPainter &painter) const
{
    const ReportLayout &layout = m_report->layout;
    const ReportFonts &fonts = *m_report->fonts;
    const QFontMetricsF metrics(fonts.bold());
    const qreal top = layout.metrics.headerHeight;
    const qreal bottom = layout.bodyTop() - 2;

    painter.setPen(Qt::black);
    painter.setFont(fonts.bold());
    for (int column = 0; column < layout.columns.size(); ++column) {
        const ReportColumnPlace &place = layout.columns[column];
        const QString heading = metrics.elidedText(m_report->definition.columns[column].heading, Qt::ElideRight,
                                                   place.textWidth);
        painter.drawText(QRectF(place.x, top, place.textWidth, bottom - top), Qt::AlignLeft | Qt::AlignVCenter,
                         heading);
    }
    painter.setPen(QPen(RuleColour, 0.75));
    painter.drawLine(QPointF(0, bottom), QPointF(layout.area.width(), bottom));
}

void ReportDocument::paintRows(QPainter &painter, const ReportPage &page) const
{
    const ReportLayout &layout = m_report->layout;
    const ReportRows &rows = *m_report->rows;
    const ReportFonts &fonts = *m_report->fonts;

    if (rows.rowCount() == 0) {
        painter.setPen(Qt::black);
        painter.setFont(fonts.body());
        painter.drawText(QPointF(0, layout.bodyTop() + layout.metrics.rowPadding + fonts.bodyAscent()),
                         tr("There are no rows to show."));
        return;
    }

    GlyphBuffer glyphs;
    QList<QLineF> rules;
    qreal top = layout.bodyTop();
    painter.setPen(Qt::black);
    painter.setFont(fonts.body());
    for (qsizetype row = page.firstRow; row < page.firstRow + page.rowCount; ++row) {
        const qreal height = layout.rowHeight(row);
        for (int column = 0; column < layout.columns.size(); ++column)
            paintCell(painter, rows.cell(row, column), column, top, height, glyphs);
        top += height;
        rules.append(QLineF(0, top, layout.area.width(), top));
    }

    if (!glyphs.glyphs.isEmpty()) {
        QGlyphRun run;
        run.setRawFont(fonts.rawBody());
        run.setGlyphIndexes(glyphs.glyphs);
        run.setPositions(glyphs.positions);
        painter.setPen(Qt::black);
        painter.drawGlyphRun(QPointF(0, 0), run);
    }
    painter.setPen(QPen(RowRuleColour, 0.5));
    painter.drawLines(rules);
}

void ReportDocument::paintCell(QPainter &painter, const QString &value, int column, qreal top, qreal height,
                               GlyphBuffer &glyphs) const
{
    const ReportLayout &layout = m_report->layout;
    const ReportFonts &fonts = *m_report->fonts;
    const ReportColumnPlace &place = layout.columns[column];

    QList<TextLine> lines;
    if (!value.contains(QLatin1Char('\n')) && fonts.advance(value) <= place.textWidth)
        lines = {TextLine{0, value.size(), false}};
    else
        lines = wrapText(value, place.textWidth, place.maxLines, fonts);

    for (qsizetype i = 0; i < lines.size(); ++i) {
        const TextLine &line = lines[i];
        const QStringView piece = QStringView(value).sliced(line.start, line.length);
        const QPointF origin(place.x,
                             top + layout.metrics.rowPadding + i * layout.metrics.lineHeight + fonts.bodyAscent());
        if (fonts.appendGlyphs(piece, origin, line.elided, glyphs))
            continue;
        // Text that needs shaping or other fonts: drawn by Qt, kept to its cell.
        painter.save();
        painter.setClipRect(QRectF(place.x, top, place.textWidth, height), Qt::IntersectClip);
        painter.drawText(origin, line.elided ? piece.toString() + Ellipsis : piece.toString());
        painter.restore();
    }
}

void ReportDocument::paintFooter(QPainter &painter, int index) const
{
    const ReportLayout &layout = m_report->layout;
    painter.setPen(Qt::black);
    painter.setFont(m_report->fonts->body());
    const QRectF box(0, layout.area.height() - layout.metrics.footerHeight, layout.area.width(),
                     layout.metrics.footerHeight);
    painter.drawText(box, Qt::AlignHCenter | Qt::AlignBottom, tr("Page %1 of %2").arg(index + 1).arg(pageCount()));
}
