#pragma once

#include <QByteArray>

#include <initializer_list>

// The parts that are not empty, with the separator between them: how the
// readers build one field out of several (an address from its components,
// a name from given, middle and family name).
template<typename Parts>
QByteArray joined(const Parts &parts, const char *separator)
{
    QByteArray text;
    for (const QByteArray &part : parts) {
        if (part.isEmpty())
            continue;
        if (!text.isEmpty())
            text.append(separator);
        text.append(part);
    }
    return text;
}

inline QByteArray joined(std::initializer_list<QByteArray> parts, const char *separator)
{
    return joined<std::initializer_list<QByteArray>>(parts, separator);
}
