#pragma once

#include "ReportLayout.h"
#include "TextWrap.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QRawFont>

#include <vector>

// One face of the report's font (regular or bold) at any size. Letters of
// the scripts that need no shaping (Latin, Greek, Cyrillic and the common
// signs) that the face has are "direct": measured and placed from a table
// of their glyphs and advances, and drawn as glyphs. Any other text is
// measured and drawn by Qt's full text layout, with fallback fonts.
class FontFace
{
public:
    explicit FontFace(bool bold);

    struct Glyph
    {
        quint32 index = 0;
        float advance = 0; // per point of font size
        bool direct = false;
        bool known = false;
    };

    const Glyph &glyph(char16_t unit) const;
    qreal advance(QStringView text, qreal size) const;
    bool isDirect(QStringView text) const;
    qreal ascent(qreal size) const { return m_ascent * size; }
    qreal descent(qreal size) const { return m_descent * size; }
    qreal lineSpacing(qreal size) const { return m_lineSpacing * size; }

    // For drawing: the face at a size in points, as Qt draws it.
    QFont font(qreal size) const;
    QRawFont rawFont(qreal size) const;
    // The first character each direct glyph looked up so far stands for.
    const QHash<quint32, char16_t> &characters() const { return m_characters; }
    const QRawFont &raw() const { return m_raw; }
    bool isBold() const { return m_bold; }

private:
    bool m_bold;
    QFont m_font;       // at 1000 pixels: advances per point are exact enough
    QFontMetricsF m_metrics;
    QRawFont m_raw;
    qreal m_ascent = 0; // per point
    qreal m_descent = 0;
    qreal m_lineSpacing = 0;
    mutable std::vector<Glyph> m_glyphs; // by UTF-16 unit, looked up on first use
    mutable QHash<quint32, char16_t> m_characters;
};

// A face at one size, as the measure of wrapping and layout.
class FaceMeasure final : public TextMeasure
{
public:
    FaceMeasure(const FontFace &face, qreal size)
        : m_face(face)
        , m_size(size)
    {
    }
    qreal advance(QStringView text) const override { return m_face.advance(text, m_size); }

private:
    const FontFace &m_face;
    qreal m_size;
};

// The report's faces and sizes, in points: values and dates in the regular
// face, headings and the title in bold.
class ReportFonts
{
public:
    static constexpr qreal BodySize = 8;
    static constexpr qreal TitleSize = 14;

    ReportFonts();

    const FontFace &regular() const { return m_regular; }
    const FontFace &bold() const { return m_bold; }
    const TextMeasure &bodyMeasure() const { return m_bodyMeasure; }
    ReportMetrics metrics() const;

private:
    FontFace m_regular;
    FontFace m_bold;
    FaceMeasure m_bodyMeasure;
};
