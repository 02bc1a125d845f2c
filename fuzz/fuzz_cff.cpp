// Fuzz target: the reading of the CFF table of an OpenType font, which the
// report's PDF writer rewrites so that each glyph's CID is its number.
// What must hold for every input: nothing is read or written outside it,
// and it keeps its size.

#include "report/FontSubset.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray font(reinterpret_cast<const char *>(data), qsizetype(size));
    FontSubset::numberCidsAsGlyphs(font);
    if (font.size() != qsizetype(size))
        std::abort();
    return 0;
}
