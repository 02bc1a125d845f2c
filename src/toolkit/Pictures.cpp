#include "Pictures.h"

// The resources live in a static library, whose registration the linker
// would drop unless something refers to it.
static void registerPictures()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(merivo);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace Pictures {

QPixmap logo()
{
    registerPictures();
    return QPixmap(QStringLiteral(":/merivo/logo.png"));
}

QIcon buttonIcon(const QString &name)
{
    registerPictures();
    return QIcon(QStringLiteral(":/merivo/icon-%1.png").arg(name));
}

QCursor buttonCursor()
{
    registerPictures();
    const QPixmap image(QStringLiteral(":/merivo/cursor.png"));
    if (image.isNull())
        return QCursor(Qt::PointingHandCursor);
    return QCursor(image, 16, 14);
}

QIcon windowIcon()
{
    registerPictures();
    QIcon icon(QStringLiteral(":/merivo/merivo.png"));
    icon.addFile(QStringLiteral(":/merivo/merivo-48.png"));
    return icon;
}

} // namespace Pictures
