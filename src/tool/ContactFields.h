#pragma once

#include "contacts/ContactRecord.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>

// The eight fields of one contact as UTF-8 views, as they come out of
// SQLite for the writers: nothing is copied or converted on the way.
using ContactFieldViews = std::array<QByteArrayView, ContactFieldCount>;

// The eight field names as UTF-8 views, for the header of a CSV file.
inline const ContactFieldViews &contactFieldNameViews()
{
    static const std::array<QByteArray, ContactFieldCount> names = [] {
        std::array<QByteArray, ContactFieldCount> utf8;
        for (int i = 0; i < ContactFieldCount; ++i)
            utf8[i] = contactFieldNames()[i].toUtf8();
        return utf8;
    }();
    static const ContactFieldViews views = [] {
        ContactFieldViews all;
        for (int i = 0; i < ContactFieldCount; ++i)
            all[i] = names[i];
        return all;
    }();
    return views;
}
