#include "FontFaces.h"

#include <algorithm>

namespace {

// Two faces are one when Qt draws them from the same font engine, or when
// they are the same face of the same font file, loaded twice.
bool sameFace(const QRawFont &a, const QRawFont &b)
{
    if (a == b)
        return true;
    return a.familyName() == b.familyName() && a.styleName() == b.styleName() && a.weight() == b.weight()
        && a.style() == b.style() && a.fontTable("head") == b.fontTable("head");
}

} // namespace

int FontFaces::add(const QRawFont &raw)
{
    for (size_t i = 0; i < m_faces.size(); ++i) {
        if (sameFace(m_faces[i].raw, raw))
            return int(i);
    }
    Face face;
    face.raw = raw;
    face.raw.setPixelSize(ReferenceSize);
    face.ascent = face.raw.ascent() / ReferenceSize;
    face.descent = face.raw.descent() / ReferenceSize;
    m_faces.push_back(std::move(face));
    return int(m_faces.size() - 1);
}

bool FontFaces::claim(int face, quint32 glyph, QStringView text)
{
    QHash<quint32, QString> &characters = m_faces[size_t(face)].characters;
    const auto found = characters.constFind(glyph);
    if (found == characters.constEnd()) {
        characters.insert(glyph, text.toString());
        return true;
    }
    return *found == text;
}

qreal FontFaces::advance(int index, quint32 glyph) const
{
    const Face &face = m_faces[size_t(index)];
    if (glyph >= face.advances.size())
        face.advances.resize(glyph + 1, -1);
    float &advance = face.advances[glyph];
    if (advance < 0) {
        advance = float(face.raw.advancesForGlyphIndexes({glyph}, QRawFont::UseDesignMetrics).value(0).x()
                        / ReferenceSize);
    }
    return advance;
}

qreal FontFaces::ascent() const
{
    qreal most = 0;
    for (const Face &face : m_faces)
        most = std::max(most, face.ascent);
    return most;
}

qreal FontFaces::descent() const
{
    qreal most = 0;
    for (const Face &face : m_faces)
        most = std::max(most, face.descent);
    return most;
}
