#pragma once

#include <QHash>
#include <QRawFont>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>

// The font faces a report's text is drawn in: the report's own font and the
// fallback faces Qt chose for the letters it lacks. Each face is known by
// its number here, and remembers which characters each of its glyphs
// stands for, as far as that is always the same (for turning glyphs back
// into text). Pages may be composed on several threads at once: faces are
// added and glyphs claimed under a lock, and a face once added stays where
// it is.
class FontFaces
{
public:
    // Glyph outlines and metrics are taken at this size in pixels; divided
    // by it they are per point of font size.
    static constexpr qreal ReferenceSize = 1000;

    struct Face
    {
        QRawFont raw;       // at ReferenceSize, for the thread that added it
        qreal ascent = 0;   // per point
        qreal descent = 0;  // per point
        // Bold that the font lacks, which Qt makes by thickening the
        // regular outlines: drawn with a stroke as wide as this, per point.
        qreal emboldening = 0;
        QHash<quint32, QString> characters; // glyph: the characters it was first used for
        // What tells the face from others without asking its font.
        QString family;
        QString style;
        int weight = 0;
        QFont::Style slant = QFont::StyleNormal;
        QByteArray head; // the font's header table
    };

    // The number of the face `raw` draws with, added when new. A report
    // uses a handful; past the most this keeps, the report's own face
    // stands in.
    int add(const QRawFont &raw);
    const Face &face(int index) const { return *m_faces[size_t(index)]; }
    int count() const { return m_count.load(std::memory_order_acquire); }

    // Records that `glyph` of `face` stands for `text`. True when it always
    // does: nothing else was recorded for it before.
    bool claim(int face, quint32 glyph, QStringView text);

    // The largest ascent and descent of the faces used so far, per point.
    qreal ascent() const;
    qreal descent() const;

private:
    static constexpr size_t MaxFaces = 256;

    std::array<std::unique_ptr<Face>, MaxFaces> m_faces;
    std::atomic<int> m_count{0};
    std::mutex m_mutex;
};
