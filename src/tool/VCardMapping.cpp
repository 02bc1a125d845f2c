#include "tool/VCardMapping.h"

#include "tool/JoinedText.h"
#include "tool/VCardValue.h"

#include <cstring>
#include <optional>

namespace {

struct Candidate
{
    const VCardProperty *property;
    VCardParameters parameters;
};

bool nameIs(QByteArrayView name, const char *upper)
{
    const qsizetype length = qsizetype(std::strlen(upper));
    return name.size() == length && qstrnicmp(name.data(), length, upper, length) == 0;
}

class CardReader
{
public:
    CardReader(const VCard &card, NotKept &notKept)
        : m_version21(card.version.startsWith("2.")), m_notKept(notKept)
    {
        m_candidates.reserve(card.properties.size());
    }

    void sort(const VCardProperty &property)
    {
        const QByteArrayView name = property.name;
        if (nameIs(name, "VERSION") || nameIs(name, "PRODID") || nameIs(name, "REV") || nameIs(name, "UID"))
            return;
        static const char *const kept[] = {"FN", "N", "ORG", "TITLE", "ROLE", "ADR", "TEL", "EMAIL", "URL"};
        for (const char *known : kept) {
            if (nameIs(name, known)) {
                m_candidates.push_back({&property, VCardParameters::read(property.parameters)});
                return;
            }
        }
        m_notKept.add(name.toByteArray().toUpper());
    }

    bool fill(ContactTexts &values, VCardMapping::ContactLines &lines)
    {
        const auto from = [&](ContactField field, const std::optional<Candidate> &candidate) {
            lines[fieldIndex(field)] = candidate ? candidate->property->line : 0;
            return candidate;
        };
        lines.fill(0);
        values[fieldIndex(ContactField::Name)] = name(lines[fieldIndex(ContactField::Name)]);
        values[fieldIndex(ContactField::Address)] = address(from(ContactField::Address, take("ADR", "home", "work")));
        values[fieldIndex(ContactField::PhoneNumber)] = phone(from(ContactField::PhoneNumber, take("TEL", "home", "work")));
        std::optional<Candidate> title = take("TITLE");
        if (!title)
            title = take("ROLE");
        values[fieldIndex(ContactField::Position)] = text(from(ContactField::Position, title));
        values[fieldIndex(ContactField::OfficeAddress)] = address(from(ContactField::OfficeAddress, take("ADR", "work")));
        values[fieldIndex(ContactField::OfficePhoneNumber)] = phone(from(ContactField::OfficePhoneNumber, take("TEL", "work")));
        values[fieldIndex(ContactField::EmailAddress)] = text(from(ContactField::EmailAddress, take("EMAIL")));
        values[fieldIndex(ContactField::WebsiteAddress)] = text(from(ContactField::WebsiteAddress, take("URL")));

        for (const Candidate &left : m_candidates) {
            if (left.property)
                m_notKept.add(left.property->name.toByteArray().toUpper());
        }
        return !values[fieldIndex(ContactField::Name)].isEmpty();
    }

private:
    // The most preferred candidate named so, of the given type (any when
    // null) and not of the excluded one (when the type is missing, the
    // fallback). It is taken: it fills one field only.
    std::optional<Candidate> take(const char *name, const char *type = nullptr, const char *fallbackExcluding = nullptr)
    {
        Candidate *best = nullptr;
        Candidate *fallback = nullptr;
        for (Candidate &candidate : m_candidates) {
            if (!candidate.property || !nameIs(candidate.property->name, name))
                continue;
            const int pref = candidate.parameters.pref;
            if (!type || candidate.parameters.hasType(type)) {
                if (!best || pref < best->parameters.pref)
                    best = &candidate;
            } else if (fallbackExcluding && !candidate.parameters.hasType(fallbackExcluding)) {
                if (!fallback || pref < fallback->parameters.pref)
                    fallback = &candidate;
            }
        }
        Candidate *chosen = best ? best : fallback;
        if (!chosen)
            return std::nullopt;
        const Candidate taken = *chosen;
        chosen->property = nullptr;
        return taken;
    }

    QByteArray decoded(const std::optional<Candidate> &candidate) const
    {
        return VCardValue::decode(candidate->property->value, candidate->parameters);
    }

    QByteArray text(const std::optional<Candidate> &candidate) const
    {
        return candidate ? VCardValue::unescape(decoded(candidate), m_version21) : QByteArray();
    }

    QByteArray phone(const std::optional<Candidate> &candidate) const
    {
        QByteArray number = text(candidate);
        if (candidate && candidate->parameters.uri && number.size() >= 4 && qstrnicmp(number.constData(), 4, "tel:", 4) == 0)
            number = number.sliced(4);
        return number;
    }

    QByteArray address(const std::optional<Candidate> &candidate) const
    {
        if (!candidate)
            return QByteArray();
        std::vector<QByteArray> parts = VCardValue::components(decoded(candidate), m_version21);
        parts.resize(7);
        // PO box, extended, street, locality, region, postal code, country
        const QByteArray regionAndCode = joined({parts[4], parts[5]}, " ");
        return joined({parts[0], parts[1], parts[2], parts[3], regionAndCode, parts[6]}, ", ");
    }

    QByteArray name(qint64 &line)
    {
        const std::optional<Candidate> full = take("FN");
        QByteArray formatted = text(full);
        line = full ? full->property->line : 0;
        const std::optional<Candidate> structured = take("N");
        if (formatted.isEmpty() && structured) {
            std::vector<QByteArray> parts = VCardValue::components(decoded(structured), m_version21);
            parts.resize(5);
            // family; given; additional; prefix; suffix
            formatted = joined({parts[3], parts[1], parts[2], parts[0], parts[4]}, " ");
            line = structured->property->line;
        }
        if (formatted.isEmpty()) {
            if (const std::optional<Candidate> organisation = take("ORG")) {
                formatted = joined(VCardValue::components(decoded(organisation), m_version21), ", ");
                line = organisation->property->line;
            }
        }
        return formatted;
    }

    bool m_version21;
    NotKept &m_notKept;
    std::vector<Candidate> m_candidates;
};

} // namespace

namespace VCardMapping {

bool map(const VCard &card, ContactTexts &values, NotKept &notKept, ContactLines *lines)
{
    CardReader reader(card, notKept);
    for (const VCardProperty &property : card.properties)
        reader.sort(property);
    ContactLines found;
    const bool named = reader.fill(values, found);
    if (lines)
        *lines = found;
    return named;
}

} // namespace VCardMapping
