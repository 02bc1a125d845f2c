#pragma once

#include "ReportLayout.h"
#include "TextWrap.h"

#include <QFont>
#include <QFontMetricsF>
#include <QList>
#include <QPointF>
#include <QRawFont>

#include <vector>

// Glyphs gathered for one page, drawn with one call: a report of a hundred
// thousand rows would take far longer as a call per value.
struct GlyphBuffer
{
    QList<quint32> glyphs;
    QList<QPointF> positions;
};

// The report's fonts, sized in points (the report paints in points), and
// its measure of text. Letters of the scripts that need no shaping (Latin,
// Greek, Cyrillic and the common signs) that the font has are measured and
// placed from a table of their advances; any other text is measured and
// drawn by Qt's full text layout, with fallback fonts.
class ReportFonts final : public TextMeasure
{
public:
    ReportFonts();

    qreal advance(QStringView text) const override;

    // Appends the glyphs of `text` (then an ellipsis, if asked) from
    // `origin` on the baseline. False, appending nothing, when the text
    // needs the full text layout.
    bool appendGlyphs(QStringView text, QPointF origin, bool ellipsis, GlyphBuffer &buffer) const;

    const QRawFont &rawBody() const { return m_raw; }
    const QFont &body() const { return m_body; }
    const QFont &bold() const { return m_bold; }
    const QFont &title() const { return m_title; }
    qreal bodyAscent() const { return m_bodyMetrics.ascent(); }
    ReportMetrics metrics() const;

private:
    struct Glyph
    {
        quint32 index = 0;
        float advance = 0;
        bool direct = false; // drawn from the table
        bool known = false;  // looked up already
    };
    const Glyph &glyph(char16_t unit) const;

    QFont m_body;
    QFont m_bold;
    QFont m_title;
    QFontMetricsF m_bodyMetrics;
    QRawFont m_raw;
    mutable std::vector<Glyph> m_glyphs; // by UTF-16 unit, looked up on first use
};
