#pragma once

#include <QHash>
#include <QRawFont>

#include <vector>

// The font faces a report's text is drawn in: the report's own font and the
// fallback faces Qt chose for the letters it lacks. Each face is known by
// its number here, and remembers which characters each of its glyphs
// stands for, as far as that is always the same (for turning glyphs back
// into text).
class FontFaces
{
public:
    // Glyph outlines and metrics are taken at this size in pixels; divided
    // by it they are per point of font size.
    static constexpr qreal ReferenceSize = 1000;

    struct Face
    {
        QRawFont raw;       // at ReferenceSize
        qreal ascent = 0;   // per point
        qreal descent = 0;  // per point
        QHash<quint32, QString> characters; // glyph: the characters it was first used for
        mutable std::vector<float> advances; // by glyph, per point; negative: not looked up yet
    };

    // The number of the face `raw` draws with, added when new.
    int add(const QRawFont &raw);
    const Face &face(int index) const { return m_faces[size_t(index)]; }
    int count() const { return int(m_faces.size()); }

    // Records that `glyph` of `face` stands for `text`. True when it always
    // does: nothing else was recorded for it before.
    bool claim(int face, quint32 glyph, QStringView text);

    // The advance of a glyph, per point of font size.
    qreal advance(int face, quint32 glyph) const;

    // The largest ascent and descent of the faces used so far, per point.
    qreal ascent() const;
    qreal descent() const;

private:
    std::vector<Face> m_faces;
};
