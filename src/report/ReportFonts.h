#pragma once

#include "FontFaces.h"
#include "ReportLayout.h"
#include "TextShaper.h"
#include "TextWrap.h"

#include <memory>

// One style of the report's font at one size, as the measure of wrapping
// and layout.
class ShapedMeasure final : public TextMeasure
{
public:
    ShapedMeasure(const TextShaper &shaper, qreal size)
        : m_shaper(shaper)
        , m_size(size)
    {
    }
    qreal advance(QStringView text) const override { return m_shaper.width(text) * m_size; }
    qsizetype fittingLength(QStringView text, qreal width) const override
    {
        return m_shaper.fittingLength(text, width / m_size);
    }
    std::unique_ptr<TextMeasure> copy() const override
    {
        return std::make_unique<ShapedMeasure>(std::make_unique<TextShaper>(m_shaper), m_size);
    }
    void adopt(const TextMeasure &copy) const override
    {
        m_shaper.adopt(static_cast<const ShapedMeasure &>(copy).m_shaper);
    }

    // A measure with a shaper of its own.
    ShapedMeasure(std::unique_ptr<TextShaper> shaper, qreal size)
        : m_own(std::move(shaper))
        , m_shaper(*m_own)
        , m_size(size)
    {
    }

private:
    std::unique_ptr<TextShaper> m_own;
    const TextShaper &m_shaper;
    qreal m_size;
};

// The report's font, sizes in points: values and dates in the regular
// style, headings and the title in bold; with the faces Qt falls back on
// for the letters it lacks.
class ReportFonts
{
public:
    static constexpr qreal BodySize = 8;
    static constexpr qreal TitleSize = 14;

    // `font` in its regular and bold styles, at the sizes of a report.
    explicit ReportFonts(const QFont &font);
    // Fonts for another thread: they share the faces, and shape on their own.
    ReportFonts(const ReportFonts &other);
    ReportFonts &operator=(const ReportFonts &) = delete;

    const TextShaper &regular() const { return m_regular; }
    const TextShaper &bold() const { return m_bold; }
    const TextMeasure &bodyMeasure() const { return m_bodyMeasure; }
    const FontFaces &faces() const { return *m_faces; }
    // Learns what a copy of these fonts learnt on its thread.
    void adopt(const ReportFonts &other);
    // The heights of the report's parts, with room for the tallest face
    // the text measured so far is drawn in.
    ReportMetrics metrics() const;

private:
    std::shared_ptr<FontFaces> m_faces;
    TextShaper m_regular;
    TextShaper m_bold;
    ShapedMeasure m_bodyMeasure;
    qreal m_lineSpacing; // of the report's own font, per point
    qreal m_boldLineSpacing;
};
