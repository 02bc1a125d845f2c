#include "contacts/ContactRecord.h"

#include <QStringList>

const std::array<QString, ContactFieldCount> &contactFieldNames()
{
    static const std::array<QString, ContactFieldCount> names = {
        QStringLiteral("Name"),
        QStringLiteral("Address"),
        QStringLiteral("Phone Number"),
        QStringLiteral("Position"),
        QStringLiteral("Office address"),
        QStringLiteral("Office Phone Number"),
        QStringLiteral("Email Address"),
        QStringLiteral("Website Address"),
    };
    return names;
}

QString contactFieldList()
{
    QStringList quoted;
    for (const QString &name : contactFieldNames())
        quoted.append(QLatin1Char('"') + name + QLatin1Char('"'));
    return quoted.join(QStringLiteral(", "));
}
