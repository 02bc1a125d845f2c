#include "contacts/LegacyDatabaseFile.h"

#include <QFile>

namespace LegacyDatabaseFile {

bool hasSignature(QByteArrayView head)
{
    // A page header (00 01 00 00) and the engine's name.
    static constexpr char version[] = {0x00, 0x01, 0x00, 0x00};
    if (head.size() < SignatureLength || head.first(4) != QByteArrayView(version, 4))
        return false;
    const QByteArrayView engine = head.sliced(4, 15);
    return engine == "Standard Jet DB" || engine == "Standard ACE DB";
}

bool recognise(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return hasSignature(file.read(SignatureLength));
}

} // namespace LegacyDatabaseFile
