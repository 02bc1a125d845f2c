#include "FontFaces.h"

#include <QtEndian>

#include <algorithm>

namespace {

// How much thicker a bold made from regular outlines is drawn, per point:
// as much as the thickening FreeType does.
constexpr qreal EmboldeningPerPoint = 1.0 / 24;

// Bold asked for, from a font file whose weight is less.
bool isSynthesisedBold(const QRawFont &raw)
{
    if (raw.weight() < QFont::Bold)
        return false;
    const QByteArray os2 = raw.fontTable("OS/2");
    if (os2.size() >= 6)
        return qFromBigEndian<quint16>(os2.constData() + 4) < QFont::DemiBold;
    const QByteArray head = raw.fontTable("head");
    return head.size() >= 46 && !(qFromBigEndian<quint16>(head.constData() + 44) & 1);
}

} // namespace

int FontFaces::add(const QRawFont &raw)
{
    const QString family = raw.familyName();
    const QString style = raw.styleName();
    const QByteArray head = raw.fontTable("head");
    const std::lock_guard lock(m_mutex);
    const int count = m_count.load(std::memory_order_relaxed);
    // The same face of the same font file, however often Qt loaded it.
    for (int i = 0; i < count; ++i) {
        const Face &face = *m_faces[size_t(i)];
        if (face.family == family && face.style == style && face.weight == raw.weight() && face.slant == raw.style()
            && face.head == head) {
            return i;
        }
    }
    if (size_t(count) == MaxFaces)
        return 0;
    auto face = std::make_unique<Face>();
    face->raw = raw;
    face->raw.setPixelSize(ReferenceSize);
    face->ascent = face->raw.ascent() / ReferenceSize;
    face->descent = face->raw.descent() / ReferenceSize;
    face->emboldening = isSynthesisedBold(raw) ? EmboldeningPerPoint : 0;
    face->family = family;
    face->style = style;
    face->weight = raw.weight();
    face->slant = raw.style();
    face->head = head;
    m_faces[size_t(count)] = std::move(face);
    m_count.store(count + 1, std::memory_order_release);
    return count;
}

bool FontFaces::claim(int face, quint32 glyph, QStringView text)
{
    const std::lock_guard lock(m_mutex);
    QHash<quint32, QString> &characters = m_faces[size_t(face)]->characters;
    const auto found = characters.constFind(glyph);
    if (found == characters.constEnd()) {
        characters.insert(glyph, text.toString());
        return true;
    }
    return *found == text;
}

qreal FontFaces::ascent() const
{
    qreal most = 0;
    for (int i = 0; i < count(); ++i)
        most = std::max(most, m_faces[size_t(i)]->ascent);
    return most;
}

qreal FontFaces::descent() const
{
    qreal most = 0;
    for (int i = 0; i < count(); ++i)
        most = std::max(most, m_faces[size_t(i)]->descent);
    return most;
}
