#pragma once

#include <QByteArray>

#include <vector>

class QRawFont;

// The font program a PDF file embeds for a TrueType face: the tables that
// drawing needs, with the outlines of the glyphs used only. Glyph numbers
// stay as they are, so the text written with them needs no change.
class TrueTypeSubset
{
public:
    // False for a face without TrueType outlines (PostScript outlines, or
    // tables that cannot be read).
    static bool canEmbed(const QRawFont &face);

    // The program keeping the outlines of the glyphs marked in `used`, of
    // glyph 0 (drawn for missing characters) and of the parts composite
    // glyphs are made of. Empty when the face's tables are damaged.
    static QByteArray program(const QRawFont &face, const std::vector<bool> &used);
};
