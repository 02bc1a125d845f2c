#include "tool/CsvHeaderMap.h"

#include "tool/JoinedText.h"

#include <QHash>
#include <QRegularExpression>

namespace {

enum class Kind { Ranked, FullName, Given, Middle, Family, Organisation, Home, Office };

struct Role
{
    Kind kind;
    int detail = 0; // the field of Ranked, the part of Home and Office
    int rank = 0;
};

constexpr int Phone = fieldIndex(ContactField::PhoneNumber);
constexpr int Position = fieldIndex(ContactField::Position);
constexpr int OfficePhone = fieldIndex(ContactField::OfficePhoneNumber);
constexpr int Email = fieldIndex(ContactField::EmailAddress);
constexpr int Website = fieldIndex(ContactField::WebsiteAddress);

// Ranks of the values of typed groups, by type.
constexpr int TypedRank = 10;
constexpr int OtherTypeRank = 30;

using Part = CsvHeaderMap::Part;

const QHash<QByteArray, Role> &knownHeaders()
{
    static const QHash<QByteArray, Role> headers = {
        {"name", {Kind::FullName}},
        {"fullname", {Kind::FullName}},
        {"displayname", {Kind::FullName}},
        {"formattedname", {Kind::FullName}},
        {"firstname", {Kind::Given}},
        {"givenname", {Kind::Given}},
        {"middlename", {Kind::Middle}},
        {"additionalname", {Kind::Middle}},
        {"lastname", {Kind::Family}},
        {"familyname", {Kind::Family}},
        {"surname", {Kind::Family}},
        {"company", {Kind::Organisation}},
        {"companyname", {Kind::Organisation}},
        {"organization", {Kind::Organisation}},
        {"organisation", {Kind::Organisation}},
        {"organizationname", {Kind::Organisation}},

        {"address", {Kind::Home, Part::Whole}},
        {"homeaddress", {Kind::Home, Part::Street1}},
        {"homestreet", {Kind::Home, Part::Street1}},
        {"homeaddress2", {Kind::Home, Part::Street2}},
        {"homestreet2", {Kind::Home, Part::Street2}},
        {"homestreet3", {Kind::Home, Part::Street3}},
        {"homepobox", {Kind::Home, Part::PoBox}},
        {"homecity", {Kind::Home, Part::City}},
        {"homestate", {Kind::Home, Part::Region}},
        {"homeregion", {Kind::Home, Part::Region}},
        {"homeprovince", {Kind::Home, Part::Region}},
        {"homepostalcode", {Kind::Home, Part::PostalCode}},
        {"homezipcode", {Kind::Home, Part::PostalCode}},
        {"homezip", {Kind::Home, Part::PostalCode}},
        {"homecountry", {Kind::Home, Part::Country}},
        {"homecountryregion", {Kind::Home, Part::Country}},

        {"officeaddress", {Kind::Office, Part::Whole}},
        {"workaddress", {Kind::Office, Part::Street1}},
        {"businessaddress", {Kind::Office, Part::Street1}},
        {"businessstreet", {Kind::Office, Part::Street1}},
        {"workstreet", {Kind::Office, Part::Street1}},
        {"workaddress2", {Kind::Office, Part::Street2}},
        {"workstreet2", {Kind::Office, Part::Street2}},
        {"businessstreet2", {Kind::Office, Part::Street2}},
        {"businessstreet3", {Kind::Office, Part::Street3}},
        {"businesspobox", {Kind::Office, Part::PoBox}},
        {"workpobox", {Kind::Office, Part::PoBox}},
        {"workcity", {Kind::Office, Part::City}},
        {"businesscity", {Kind::Office, Part::City}},
        {"workstate", {Kind::Office, Part::Region}},
        {"businessstate", {Kind::Office, Part::Region}},
        {"workzipcode", {Kind::Office, Part::PostalCode}},
        {"workpostalcode", {Kind::Office, Part::PostalCode}},
        {"businesspostalcode", {Kind::Office, Part::PostalCode}},
        {"workcountry", {Kind::Office, Part::Country}},
        {"businesscountry", {Kind::Office, Part::Country}},
        {"businesscountryregion", {Kind::Office, Part::Country}},

        {"phonenumber", {Kind::Ranked, Phone, 0}},
        {"phone", {Kind::Ranked, Phone, 0}},
        {"telephone", {Kind::Ranked, Phone, 0}},
        {"homephone", {Kind::Ranked, Phone, 0}},
        {"homephonenumber", {Kind::Ranked, Phone, 0}},
        {"mobilephone", {Kind::Ranked, Phone, 5}},
        {"mobilenumber", {Kind::Ranked, Phone, 5}},
        {"mobile", {Kind::Ranked, Phone, 5}},
        {"cellphone", {Kind::Ranked, Phone, 5}},
        {"officephonenumber", {Kind::Ranked, OfficePhone, 0}},
        {"officephone", {Kind::Ranked, OfficePhone, 0}},
        {"workphone", {Kind::Ranked, OfficePhone, 0}},
        {"businessphone", {Kind::Ranked, OfficePhone, 0}},
        {"position", {Kind::Ranked, Position, 0}},
        {"jobtitle", {Kind::Ranked, Position, 0}},
        {"organizationtitle", {Kind::Ranked, Position, 0}},
        {"emailaddress", {Kind::Ranked, Email, 0}},
        {"email", {Kind::Ranked, Email, 0}},
        {"primaryemail", {Kind::Ranked, Email, 0}},
        {"secondaryemail", {Kind::Ranked, Email, 5}},
        {"websiteaddress", {Kind::Ranked, Website, 0}},
        {"website", {Kind::Ranked, Website, 0}},
        {"webpage", {Kind::Ranked, Website, 0}},
        {"webpage1", {Kind::Ranked, Website, 0}},
        {"webpage2", {Kind::Ranked, Website, 5}},
        {"homepage", {Kind::Ranked, Website, 0}},
        {"url", {Kind::Ranked, Website, 0}},
    };
    return headers;
}

QByteArray normalised(QByteArrayView header)
{
    QByteArray key;
    key.reserve(header.size());
    for (const char c : header) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || static_cast<unsigned char>(c) >= 0x80)
            key.append(c);
        else if (c >= 'A' && c <= 'Z')
            key.append(char(c - 'A' + 'a'));
    }
    return key;
}

const QByteArray &cell(const std::vector<QByteArray> &record, int column)
{
    static const QByteArray none;
    return column >= 0 && column < int(record.size()) ? record[column] : none;
}

// Home, work or another kind, from the value of a typed group's type column.
enum class Sort { Home, Work, Other };

Sort sortOf(const QByteArray &type)
{
    const QByteArray lower = type.toLower();
    if (lower.contains("home"))
        return Sort::Home;
    if (lower.contains("work") || lower.contains("business") || lower.contains("office"))
        return Sort::Work;
    return Sort::Other;
}

QByteArray composed(const CsvHeaderMap::Address &address, const std::vector<QByteArray> &record)
{
    const auto part = [&](Part p) { return cell(record, address.parts[p]); };
    if (!part(Part::Whole).isEmpty())
        return part(Part::Whole);
    const QByteArray street = joined({part(Part::PoBox), part(Part::Extended), part(Part::Street1),
                                      part(Part::Street2), part(Part::Street3)},
                                     ", ");
    return joined({street, part(Part::City), joined({part(Part::Region), part(Part::PostalCode)}, " "),
                   part(Part::Country)},
                  ", ");
}

} // namespace

bool CsvHeaderMap::read(const std::vector<QByteArray> &header, QString *error)
{
    *this = CsvHeaderMap();
    m_headers = header;

    static const QRegularExpression typed(QStringLiteral(
        "^(phone|address|email|website|organization)(\\d{1,9})(type|label|value|formatted|street|city|pobox|region|"
        "postalcode|country|extendedaddress|address|title|name)$"));
    static const QHash<QString, Part> addressParts = {
        {QStringLiteral("formatted"), Part::Whole},   {QStringLiteral("street"), Part::Street1},
        {QStringLiteral("city"), Part::City},         {QStringLiteral("pobox"), Part::PoBox},
        {QStringLiteral("region"), Part::Region},     {QStringLiteral("postalcode"), Part::PostalCode},
        {QStringLiteral("country"), Part::Country},   {QStringLiteral("extendedaddress"), Part::Extended},
    };

    int titleColumn = -1;
    bool own = header.size() == size_t(ContactFieldCount);
    for (int column = 0; column < int(header.size()); ++column) {
        const QByteArray key = normalised(header[column]);
        if (own && header[column].trimmed() != contactFieldNames()[column].toUtf8())
            own = false;
        if (const auto found = knownHeaders().constFind(key); found != knownHeaders().constEnd()) {
            const Role role = *found;
            switch (role.kind) {
            case Kind::Ranked:
                m_ranked[role.detail].emplace_back(role.rank, column);
                break;
            case Kind::FullName:
                m_fullName.push_back(column);
                break;
            case Kind::Given:
                m_given = column;
                break;
            case Kind::Middle:
                m_middle = column;
                break;
            case Kind::Family:
                m_family = column;
                break;
            case Kind::Organisation:
                m_organisation.push_back(column);
                break;
            case Kind::Home:
                m_home.parts[role.detail] = column;
                break;
            case Kind::Office:
                m_office.parts[role.detail] = column;
                break;
            }
        } else if (key == "title") {
            titleColumn = column;
        } else if (const QRegularExpressionMatch match = typed.match(QString::fromLatin1(key)); match.hasMatch()) {
            // At most nine digits, so that the ranks made from it stay far
            // within an int.
            const QString group = match.captured(1);
            const int number = match.captured(2).toInt();
            const QString what = match.captured(3);
            const bool isType = what == QLatin1String("type") || what == QLatin1String("label");
            if (group == QLatin1String("phone") && isType)
                m_phoneGroups[number].first = column;
            else if (group == QLatin1String("phone") && what == QLatin1String("value"))
                m_phoneGroups[number].second = column;
            else if (group == QLatin1String("address") && isType)
                m_addressGroups[number].typeColumn = column;
            else if (group == QLatin1String("address") && addressParts.contains(what))
                m_addressGroups[number].parts[addressParts.value(what)] = column;
            else if (group == QLatin1String("email") && (what == QLatin1String("value") || what == QLatin1String("address")))
                m_ranked[Email].emplace_back(number, column);
            else if (group == QLatin1String("website") && what == QLatin1String("value"))
                m_ranked[Website].emplace_back(number - 1, column);
            else if (group == QLatin1String("organization") && what == QLatin1String("title"))
                m_ranked[Position].emplace_back(number - 1, column);
            else if (group == QLatin1String("organization") && what == QLatin1String("name"))
                m_organisation.push_back(column);
        }
    }
    m_own = own;

    // Title is a job title only where no other column is; Outlook's Title
    // column is the form of address ("Dr.").
    if (titleColumn >= 0 && m_ranked[Position].empty()) {
        m_ranked[Position].emplace_back(1, titleColumn);
    }
    for (auto &ranked : m_ranked)
        std::stable_sort(ranked.begin(), ranked.end(), [](const auto &a, const auto &b) { return a.first < b.first; });

    if (m_fullName.empty() && m_given < 0 && m_family < 0 && m_organisation.empty()) {
        if (error) {
            *error = tr("the first line names no column that holds a contact's name (such as Name, "
                        "First Name or Display Name)");
        }
        return false;
    }
    return true;
}

bool CsvHeaderMap::map(const std::vector<QByteArray> &record, ContactTexts &values, NotKept &notKept) const
{
    for (QByteArray &value : values)
        value.clear();
    // Only the cells the record has can hold a value: the work per record
    // goes with its length and with the columns that fill fields, never with
    // the width of the header.
    std::vector<bool> used(record.size(), false);
    const auto use = [&](int column) {
        if (column >= 0 && column < int(record.size()))
            used[column] = true;
    };

    // Single-valued fields: the best-ranked column that has a value. Typed
    // phone groups join in with the rank their type gives.
    std::array<std::vector<std::pair<int, int>>, ContactFieldCount> ranked = m_ranked;
    for (const auto &[number, columns] : m_phoneGroups) {
        const auto [typeColumn, valueColumn] = columns;
        if (valueColumn < 0)
            continue;
        switch (sortOf(cell(record, typeColumn))) {
        case Sort::Home:
            ranked[Phone].emplace_back(TypedRank + number, valueColumn);
            break;
        case Sort::Work:
            ranked[OfficePhone].emplace_back(TypedRank + number, valueColumn);
            break;
        case Sort::Other:
            ranked[Phone].emplace_back(OtherTypeRank + number, valueColumn);
            break;
        }
        use(typeColumn); // says only where the value goes
    }
    for (int field = 0; field < ContactFieldCount; ++field) {
        auto &columns = ranked[field];
        std::stable_sort(columns.begin(), columns.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
        for (const auto &[rank, column] : columns) {
            if (!cell(record, column).isEmpty()) {
                values[field] = cell(record, column);
                use(column);
                break;
            }
        }
    }

    // The name: whole, else from its parts, else the organisation.
    QByteArray &name = values[fieldIndex(ContactField::Name)];
    for (const int column : m_fullName) {
        if (name.isEmpty() && !cell(record, column).isEmpty())
            name = cell(record, column);
        if (cell(record, column) == name)
            use(column);
    }
    const QByteArray fromParts = joined({cell(record, m_given), cell(record, m_middle), cell(record, m_family)}, " ");
    if (name.isEmpty())
        name = fromParts;
    for (const int column : {m_given, m_middle, m_family})
        use(column); // the parts of the name it has either way
    for (const int column : m_organisation) {
        if (name.isEmpty() && !cell(record, column).isEmpty()) {
            name = cell(record, column);
            use(column);
        }
    }

    // Addresses: the fixed columns, then typed groups by their type.
    const auto place = [&](const Address &address, ContactField field) {
        QByteArray &target = values[fieldIndex(field)];
        if (!target.isEmpty())
            return;
        target = composed(address, record);
        if (target.isEmpty())
            return;
        for (const int column : address.parts)
            use(column);
        use(address.typeColumn);
    };
    place(m_home, ContactField::Address);
    place(m_office, ContactField::OfficeAddress);
    for (const Sort wanted : {Sort::Home, Sort::Work, Sort::Other}) {
        for (const auto &[number, address] : m_addressGroups) {
            if (sortOf(cell(record, address.typeColumn)) == wanted)
                place(address, wanted == Sort::Work ? ContactField::OfficeAddress : ContactField::Address);
        }
    }

    for (qsizetype column = 0; column < qsizetype(record.size()); ++column) {
        if (record[column].isEmpty() || used[column])
            continue;
        notKept.add(column < qsizetype(m_headers.size()) ? QByteArrayView(m_headers[column].trimmed())
                                                          : QByteArrayView("(no header)"));
    }
    return !name.isEmpty();
}
