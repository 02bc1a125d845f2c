#include "ReportFonts.h"

#include "toolkit/Fonts.h"

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

} // namespace

ReportFonts::ReportFonts()
    : m_regular(dialogFont(8.25, false), m_faces)
    , m_bold(dialogFont(8.25, true), m_faces)
    , m_bodyMeasure(m_regular, BodySize)
    , m_lineSpacing(lineSpacingPerPoint(dialogFont(8.25, false)))
    , m_boldLineSpacing(lineSpacingPerPoint(dialogFont(8.25, true)))
{
    // The report's own faces come first.
    m_regular.width(u"0");
    m_bold.width(u"0");
}

ReportMetrics ReportFonts::metrics() const
{
    const qreal tallest = m_faces.ascent() + m_faces.descent();
    ReportMetrics metrics;
    metrics.lineHeight = std::ceil(std::max(m_lineSpacing, tallest) * BodySize);
    metrics.ascent = m_faces.ascent();
    metrics.descent = m_faces.descent();
    metrics.rowPadding = 2;
    metrics.headerHeight = std::ceil(std::max(m_boldLineSpacing, tallest) * TitleSize) + 10;
    metrics.headingsHeight = std::ceil(std::max(m_boldLineSpacing, tallest) * BodySize) + 6;
    metrics.footerHeight = std::ceil(std::max(m_lineSpacing, tallest) * BodySize) + 8;
    metrics.columnGap = 5;
    return metrics;
}
