#include "ReportFonts.h"

#include "toolkit/Fonts.h"

#include <cmath>

namespace {

constexpr int ReferenceSize = 1000;

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

// The dialog font's family; unhinted, so that text has the same width on
// screen, on paper and in a PDF file.
QFont referenceFont(bool bold)
{
    QFont font = dialogFont(8.25, bold);
    font.setPixelSize(ReferenceSize);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

} // namespace

FontFace::FontFace(bool bold)
    : m_bold(bold)
    , m_font(referenceFont(bold))
    , m_metrics(m_font)
    , m_raw(QRawFont::fromFont(m_font))
    , m_ascent(m_metrics.ascent() / ReferenceSize)
    , m_descent(m_metrics.descent() / ReferenceSize)
    , m_lineSpacing(m_metrics.lineSpacing() / ReferenceSize)
    , m_glyphs(0x10000)
{
}

const FontFace::Glyph &FontFace::glyph(char16_t unit) const
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
            glyph.advance = float(m_raw.advancesForGlyphIndexes(indexes).value(0).x() / ReferenceSize);
            glyph.direct = needsNoShaping(c);
            if (glyph.direct && !m_characters.contains(glyph.index))
                m_characters.insert(glyph.index, unit);
        }
    }
    if (!glyph.direct)
        glyph.advance = float(m_metrics.horizontalAdvance(c) / ReferenceSize);
    return glyph;
}

qreal FontFace::advance(QStringView text, qreal size) const
{
    qreal width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            width += m_metrics.horizontalAdvance(text.sliced(i, 2).toString()) / ReferenceSize;
            ++i;
        } else {
            width += glyph(c.unicode()).advance;
        }
    }
    return width * size;
}

bool FontFace::isDirect(QStringView text) const
{
    for (const QChar c : text) {
        if (!glyph(c.unicode()).direct)
            return false;
    }
    return true;
}

QFont FontFace::font(qreal size) const
{
    // Pixels of the painter's unit, which is the point.
    QFont font = m_font;
    font.setPixelSize(qMax(1, qRound(size)));
    return font;
}

QRawFont FontFace::rawFont(qreal size) const
{
    QRawFont raw = m_raw;
    raw.setPixelSize(size);
    return raw;
}

ReportFonts::ReportFonts()
    : m_regular(false)
    , m_bold(true)
    , m_bodyMeasure(m_regular, BodySize)
{
}

ReportMetrics ReportFonts::metrics() const
{
    ReportMetrics metrics;
    metrics.lineHeight = std::ceil(m_regular.lineSpacing(BodySize));
    metrics.rowPadding = 2;
    metrics.headerHeight = std::ceil(m_bold.lineSpacing(TitleSize)) + 10;
    metrics.headingsHeight = std::ceil(m_bold.lineSpacing(BodySize)) + 6;
    metrics.footerHeight = std::ceil(m_regular.lineSpacing(BodySize)) + 8;
    metrics.columnGap = 5;
    return metrics;
}
