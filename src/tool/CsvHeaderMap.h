#pragma once

#include "contacts/ContactBatch.h"
#include "tool/ImportReport.h"

#include <QCoreApplication>
#include <QString>

#include <array>
#include <map>
#include <vector>

// Which columns of a CSV file fill which of the eight fields, read from its
// header record. Headers are compared without regard to case, blanks and
// punctuation ("E-mail Address" is "Email Address"). Besides our own eight
// field names, it knows the headers that address books and mail programs
// commonly export:
//
//   Name             Name, Full Name, Display Name; else First/Given,
//                    Middle/Additional and Last/Family Name joined;
//                    else Company or Organization
//   Address          Home Street (2, 3), Home Address (2), Home City,
//                    Home State, Home Postal Code/ZipCode, Home Country
//   Phone Number     Home Phone, Phone; else Mobile Phone
//   Position         Job Title, Organization Title; Title when no column
//                    is a job title (it is then a form of address)
//   Office address   the Business/Work counterparts of the home address
//   Office Phone     Business Phone, Work Phone
//   Email Address    E-mail Address, Primary Email, E-mail 1 - Value;
//                    else the second address
//   Website Address  Web Page, Website, URL, Website 1 - Value
//
// and typed groups ("Phone 1 - Type" Home/Work/Mobile with "Phone 1 -
// Value"; "Address 1 - Type" with "Address 1 - Formatted" or its parts),
// whose values go where their type says. A value that no field takes, or
// that lost to another for its field, is counted as not kept under its
// column's header.
class CsvHeaderMap
{
    Q_DECLARE_TR_FUNCTIONS(CsvHeaderMap)

public:
    // False when the record names no column that can give a contact's
    // name; error says so.
    bool read(const std::vector<QByteArray> &header, QString *error);
    // False when the record gives no name.
    bool map(const std::vector<QByteArray> &record, ContactTexts &values, NotKept &notKept) const;
    // The header is exactly our own eight field names.
    bool isOwnHeader() const { return m_own; }
    qsizetype columnCount() const { return qsizetype(m_headers.size()); }

    enum Part { Whole, Street1, Street2, Street3, PoBox, Extended, City, Region, PostalCode, Country, PartCount };
    struct Address
    {
        Address() { parts.fill(-1); }
        std::array<int, PartCount> parts; // column of each part, -1 when none
        int typeColumn = -1;              // typed groups only
    };

private:
    std::vector<QByteArray> m_headers;
    bool m_own = false;
    // Columns of the single-valued fields by rank (lower wins).
    std::array<std::vector<std::pair<int, int>>, ContactFieldCount> m_ranked;
    std::vector<int> m_fullName;
    int m_given = -1, m_middle = -1, m_family = -1;
    std::vector<int> m_organisation;
    Address m_home, m_office;
    std::map<int, Address> m_addressGroups;
    std::map<int, std::pair<int, int>> m_phoneGroups; // number: type column, value column
};
