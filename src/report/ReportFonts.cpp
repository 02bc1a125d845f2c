#include "ReportFonts.h"

#include <QFontMetricsF>

#include <cmath>

namespace {

qreal lineSpacingPerPoint(const QFont &font)
{
    QFont reference = font;
    reference.setPixelSize(int(FontFaces::ReferenceSize));
    reference.setHintingPreference(QFont::PreferNoHinting);
    return QFontMetricsF(reference).lineSpacing() / FontFaces::ReferenceSize;
}

QFont boldOf(QFont font)
{
    font.setBold(true);
    return font;
}

} // namespace

ReportFonts::ReportFonts(const QFont &font)
    : m_faces(std::make_shared<FontFaces>())
    , m_regular(font, *m_faces)
    , m_bold(boldOf(font), *m_faces)
    , m_bodyMeasure(m_regular, BodySize)
    , m_lineSpacing(lineSpacingPerPoint(font))
    , m_boldLineSpacing(lineSpacingPerPoint(boldOf(font)))
{
    // The report's own faces come first.
    m_regular.width(u"0");
    m_bold.width(u"0");
}

ReportFonts::ReportFonts(const ReportFonts &other)
    : m_faces(other.m_faces)
    , m_regular(other.m_regular)
    , m_bold(other.m_bold)
    , m_bodyMeasure(m_regular, BodySize)
    , m_lineSpacing(other.m_lineSpacing)
    , m_boldLineSpacing(other.m_boldLineSpacing)
{
}

void ReportFonts::adopt(const ReportFonts &other)
{
    m_regular.adopt(other.m_regular);
    m_bold.adopt(other.m_bold);
}

ReportMetrics ReportFonts::metrics() const
{
    const qreal tallest = m_faces->ascent() + m_faces->descent();
    ReportMetrics metrics;
    metrics.lineHeight = std::ceil(std::max(m_lineSpacing, tallest) * BodySize);
    metrics.ascent = m_faces->ascent();
    metrics.descent = m_faces->descent();
    metrics.rowPadding = 2;
    metrics.headerHeight = std::ceil(std::max(m_boldLineSpacing, tallest) * TitleSize) + 10;
    metrics.headingsHeight = std::ceil(std::max(m_boldLineSpacing, tallest) * BodySize) + 6;
    metrics.footerHeight = std::ceil(std::max(m_lineSpacing, tallest) * BodySize) + 8;
    metrics.columnGap = 5;
    return metrics;
}
