#pragma once

#include <QByteArray>

#include <vector>

class QRawFont;

// The font program a PDF file embeds for one face: the face's tables as
// Qt reads them (from a TrueType or OpenType file, or a face of a font
// collection), cut down by HarfBuzz's subsetter to the glyphs used. Glyph
// numbers stay as they are, so text written with them needs no change.
struct FontSubset
{
    enum class Outlines { TrueType, Cff };

    QByteArray program; // an OpenType font; empty when the face cannot be subset
    Outlines outlines = Outlines::TrueType;

    // The subset keeping `glyphs` and glyph 0 (drawn for missing characters).
    static FontSubset make(const QRawFont &face, const std::vector<quint32> &glyphs);

    // Pages name glyphs by their numbers; a PDF viewer reads those of a
    // CID-keyed CFF font as CIDs. Makes each glyph's CID its number, in the
    // OpenType file `font`: false when its CFF table cannot be read so.
    static bool numberCidsAsGlyphs(QByteArray &font);
};
