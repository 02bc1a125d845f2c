#include "Pictures.h"

namespace Pictures {

QPixmap logo()
{
    return QPixmap(QStringLiteral(":/merivo/logo.png"));
}

QIcon buttonIcon(const QString &name)
{
    return QIcon(QStringLiteral(":/merivo/icon-%1.png").arg(name));
}

QCursor buttonCursor()
{
    const QPixmap image(QStringLiteral(":/merivo/cursor.png"));
    if (image.isNull())
        return QCursor(Qt::PointingHandCursor);
    return QCursor(image, 16, 14);
}

QIcon windowIcon()
{
    QIcon icon(QStringLiteral(":/merivo/merivo.png"));
    icon.addFile(QStringLiteral(":/merivo/merivo-48.png"));
    return icon;
}

} // namespace Pictures
