#pragma once

#include <QString>

#include <array>

// One contact: eight text fields, in the order the record forms show them.
constexpr int ContactFieldCount = 8;

enum class ContactField : int {
    Name,
    Address,
    PhoneNumber,
    Position,
    OfficeAddress,
    OfficePhoneNumber,
    EmailAddress,
    WebsiteAddress,
};

using ContactValues = std::array<QString, ContactFieldCount>;

constexpr int fieldIndex(ContactField field)
{
    return static_cast<int>(field);
}

// The field names exactly as Table1 stores them ("Office address" with a
// small a), indexed by ContactField.
const std::array<QString, ContactFieldCount> &contactFieldNames();

// The eight field names as SQL names, in order, joined by commas:
// "Name", "Address", ...
QString contactFieldList();

inline QString contactFieldName(ContactField field)
{
    return contactFieldNames()[fieldIndex(field)];
}
