#include "ReportFonts.h"

#include "toolkit/Fonts.h"

#include <cmath>

namespace {

constexpr int BodyPoints = 8;
constexpr int TitlePoints = 14;

QFont reportFont(int points, bool bold)
{
    // The dialog font's family; sizes are set in the report's unit, the point.
    QFont font = dialogFont(8.25, bold);
    font.setPixelSize(points);
    // Unhinted, so text has the same width on screen, on paper and in a PDF.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

bool needsNoShaping(QChar c)
{
    switch (c.script()) {
    case QChar::Script_Common:
    case QChar::Script_Latin:
    case QChar::Script_Greek:
    case QChar::Script_Cyrillic:
        break;
    default:
        return false;
    }
    if (c.isMark() || c.isSurrogate())
        return false;
    switch (c.category()) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_NotAssigned:
    case QChar::Other_PrivateUse:
        return false;
    default:
        break;
    }
    return c.direction() != QChar::DirR && c.direction() != QChar::DirAL;
}

} // namespace

ReportFonts::ReportFonts()
    : m_body(reportFont(BodyPoints, false))
    , m_bold(reportFont(BodyPoints, true))
    , m_title(reportFont(TitlePoints, true))
    , m_bodyMetrics(m_body)
    , m_raw(QRawFont::fromFont(m_body))
    , m_glyphs(0x10000)
{
}

ReportMetrics ReportFonts::metrics() const
{
    const QFontMetricsF title(m_title);
    const QFontMetricsF bold(m_bold);
    ReportMetrics metrics;
    metrics.lineHeight = std::ceil(m_bodyMetrics.lineSpacing());
    metrics.rowPadding = 2;
    metrics.headerHeight = std::ceil(title.lineSpacing()) + 10;
    metrics.headingsHeight = std::ceil(bold.lineSpacing()) + 6;
    metrics.footerHeight = std::ceil(m_bodyMetrics.lineSpacing()) + 8;
    metrics.columnGap = 5;
    return metrics;
}

const ReportFonts::Glyph &ReportFonts::glyph(char16_t unit) const
{
    Glyph &glyph = m_glyphs[unit];
    if (glyph.known)
        return glyph;
    glyph.known = true;
    const QChar c(unit);
    if (m_raw.isValid() && !c.isSurrogate()) {
        const QList<quint32> indexes = m_raw.glyphIndexesForString(QString(c));
        if (indexes.size() == 1 && indexes.first() != 0) {
            glyph.index = indexes.first();
            glyph.advance = float(m_raw.advancesForGlyphIndexes(indexes).value(0).x());
            glyph.direct = needsNoShaping(c);
        }
    }
    if (!glyph.direct)
        glyph.advance = float(m_bodyMetrics.horizontalAdvance(c));
    return glyph;
}

qreal ReportFonts::advance(QStringView text) const
{
    qreal width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            width += m_bodyMetrics.horizontalAdvance(text.sliced(i, 2).toString());
            ++i;
        } else {
            width += glyph(c.unicode()).advance;
        }
    }
    return width;
}

bool ReportFonts::appendGlyphs(QStringView text, QPointF origin, bool ellipsis, GlyphBuffer &buffer) const
{
    for (const QChar c : text) {
        if (!glyph(c.unicode()).direct)
            return false;
    }
    if (ellipsis && !glyph(Ellipsis.unicode()).direct)
        return false;

    const auto place = [&](char16_t unit) {
        const Glyph &g = glyph(unit);
        buffer.glyphs.append(g.index);
        buffer.positions.append(origin);
        origin.rx() += g.advance;
    };
    for (const QChar c : text)
        place(c.unicode());
    if (ellipsis)
        place(Ellipsis.unicode());
    return true;
}
