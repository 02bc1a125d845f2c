#include "contacts/NameKey.h"

#include <QList>

namespace {

bool isAscii(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

} // namespace

QString nameKey(const QString &name)
{
    qsizetype end = name.size();
    while (end > 0 && name.at(end - 1) == u' ')
        --end;
    const QStringView kept = QStringView(name).left(end);

    // Most names are plain ASCII: folding is then lowering A to Z, and the
    // normalisation steps below would change nothing.
    if (isAscii(kept))
        return kept.toString().toLower();

    // Decomposing first lets combining marks fold on their own; composing at
    // the end keeps the stored keys short.
    const QString folded = kept.toString().normalized(QString::NormalizationForm_D).toCaseFolded();

    // Qt folds one character to one character. The folds that change the
    // length (ß to ss, ligatures to their letters) show as upper-casing that
    // makes a character longer; only those take that way round, so that
    // dotless ı, whose upper case is I, stays apart from i.
    QString key;
    key.reserve(folded.size());
    const QList<uint> codePoints = folded.toUcs4();
    for (const char32_t c : codePoints) {
        const QString one = QString::fromUcs4(&c, 1);
        if (c < 0x80) {
            key.append(one);
            continue;
        }
        const QString upper = one.toUpper();
        key.append(upper.size() > one.size() ? upper.toCaseFolded() : one);
    }
    return key.normalized(QString::NormalizationForm_C);
}
