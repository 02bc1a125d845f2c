#include "contacts/ContactRecord.h"

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
