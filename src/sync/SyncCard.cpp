#include "sync/SyncCard.h"

#include "tool/VCardMapping.h"
#include "tool/VCardParser.h"
#include "tool/VCardWriter.h"

#include <QList>

#include <algorithm>
#include <vector>

namespace {

bool equalsIgnoringCase(QByteArrayView text, QByteArrayView word)
{
    return text.size() == word.size() && qstrnicmp(text.data(), text.size(), word.data(), word.size()) == 0;
}

// The part before the value's colon.
QByteArray headOf(const QByteArray &line)
{
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted)
            return line.first(i);
    }
    return line;
}

struct PhysicalLine
{
    qsizetype offset = 0;
    qsizetype length = 0; // without the line end
    qsizetype end = 0;    // offset past the line end
};

std::vector<PhysicalLine> physicalLines(const QByteArray &bytes)
{
    std::vector<PhysicalLine> lines;
    qsizetype pos = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (pos < bytes.size()) {
        PhysicalLine line;
        line.offset = pos;
        while (pos < bytes.size() && bytes[pos] != '\n' && bytes[pos] != '\r')
            ++pos;
        line.length = pos - line.offset;
        if (pos < bytes.size() && bytes[pos] == '\r') {
            ++pos;
            if (pos < bytes.size() && bytes[pos] == '\n')
                ++pos;
        } else if (pos < bytes.size() && bytes[pos] == '\n') {
            ++pos;
        }
        line.end = pos;
        lines.push_back(line);
    }
    return lines;
}

// Where one property of the card stands, and what the field read from it.
struct Place
{
    int line = 0; // first physical line, from 1; 0 for none
    QByteArray name;
};

struct Layout
{
    bool version4 = false;
    int firstLine = 0;
    std::array<Place, ContactFieldCount> sources;
    int structuredName = 0; // the N property
    ContactTexts texts;
};

class Editor
{
public:
    explicit Editor(QByteArray &bytes) : m_bytes(bytes), m_lines(physicalLines(bytes)) {}

    // Indexes (from 0) of the physical lines of the property on line number:
    // folded lines, and a quoted-printable value's soft line breaks (2.1),
    // as the parser reads them.
    std::pair<size_t, size_t> span(int number) const
    {
        const size_t first = size_t(number - 1);
        const bool quotedPrintable = headOf(text(first)).toUpper().contains("QUOTED-PRINTABLE");
        size_t last = first;
        while (last + 1 < m_lines.size()) {
            const QByteArray next = text(last + 1);
            const bool folded = !next.isEmpty() && (next.front() == ' ' || next.front() == '\t');
            const bool softBreak = quotedPrintable && text(last).endsWith('=') && !next.isEmpty()
                && !equalsIgnoringCase(next.trimmed(), "END:VCARD");
            if (!folded && !softBreak)
                break;
            ++last;
        }
        return {first, last};
    }

    QByteArray unfolded(int number) const
    {
        const auto [first, last] = span(number);
        QByteArray line = text(first);
        for (size_t i = first + 1; i <= last; ++i) {
            const QByteArray next = text(i);
            if (next.startsWith(' ') || next.startsWith('\t')) {
                line.append(next.sliced(1));
            } else {
                line.chop(1); // the '=' of a soft line break
                line.append(next);
            }
        }
        return line;
    }

    // The END:VCARD line (from 0) of the card that begins on line number.
    size_t endOfCard(int number) const
    {
        int depth = 0;
        for (size_t i = size_t(number - 1); i < m_lines.size(); ++i) {
            const QByteArray line = text(i).trimmed();
            if (equalsIgnoringCase(line, "BEGIN:VCARD"))
                ++depth;
            else if (equalsIgnoringCase(line, "END:VCARD") && --depth == 0)
                return i;
        }
        return m_lines.size();
    }

    void replace(int number, const QByteArray &lines)
    {
        const auto [first, last] = span(number);
        m_edits.push_back({m_lines[first].offset, m_lines[last].end, lines});
    }
    void insertAfter(int number, const QByteArray &lines)
    {
        const qsizetype at = m_lines[span(number).second].end;
        m_edits.push_back({at, at, lines});
    }
    void insertBeforeLine(size_t index, const QByteArray &lines)
    {
        const qsizetype at = index < m_lines.size() ? m_lines[index].offset : m_bytes.size();
        m_edits.push_back({at, at, lines});
    }

    void apply()
    {
        // From the end, so that earlier offsets stay right; a line that
        // lacks its line end gets one before anything follows it.
        // Edits at one place keep the order they were made in.
        std::reverse(m_edits.begin(), m_edits.end());
        std::stable_sort(m_edits.begin(), m_edits.end(), [](const Edit &a, const Edit &b) { return a.from > b.from; });
        for (const Edit &edit : m_edits) {
            QByteArray text = edit.text;
            if (edit.from == m_bytes.size() && !m_bytes.isEmpty() && !m_bytes.endsWith('\n') && !m_bytes.endsWith('\r'))
                text.prepend("\r\n");
            m_bytes.replace(edit.from, edit.to - edit.from, text);
        }
        m_edits.clear();
    }

private:
    QByteArray text(size_t index) const { return m_bytes.mid(m_lines[index].offset, m_lines[index].length); }

    struct Edit
    {
        qsizetype from;
        qsizetype to;
        QByteArray text;
    };
    QByteArray &m_bytes;
    std::vector<PhysicalLine> m_lines;
    std::vector<Edit> m_edits;
};

std::optional<Layout> layoutOf(const QByteArray &bytes)
{
    std::optional<Layout> layout;
    VCardParser parser;
    parser.parse(bytes, [&](const VCard &card) {
        Layout found;
        found.version4 = card.version.startsWith("4");
        found.firstLine = card.firstLine;
        VCardMapping::ContactLines lines;
        NotKept notKept;
        VCardMapping::map(card, found.texts, notKept, &lines);
        // Each property begins on a line of its own.
        for (const VCardProperty &property : card.properties) {
            for (int i = 0; i < ContactFieldCount; ++i) {
                if (lines[i] == property.line)
                    found.sources[i] = {int(property.line), property.name.toByteArray().toUpper()};
            }
            if (!found.structuredName && equalsIgnoringCase(property.name, "N"))
                found.structuredName = int(property.line);
        }
        layout = found;
        return false; // the first card is the contact
    });
    return layout;
}

// The head with the parameters that no longer fit a value we write: its
// old encoding and character set, and, for a second version, preference.
QByteArray cleanHead(const QByteArray &head, bool dropPreference)
{
    QList<QByteArray> parts;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= head.size(); ++i) {
        if (i < head.size() && head[i] == '"')
            quoted = !quoted;
        if (i == head.size() || (head[i] == ';' && !quoted)) {
            parts.append(head.sliced(start, i - start));
            start = i + 1;
        }
    }
    QByteArray result = parts.takeFirst();
    for (const QByteArray &parameter : std::as_const(parts)) {
        const qsizetype equals = parameter.indexOf('=');
        const QByteArray name = (equals < 0 ? parameter : parameter.first(equals)).trimmed().toUpper();
        if (name == "ENCODING" || name == "CHARSET" || name == "QUOTED-PRINTABLE" || name == "BASE64"
            || ((name == "PREF") && dropPreference))
            continue;
        if (name == "TYPE" && dropPreference && equals >= 0) {
            QList<QByteArray> types = parameter.sliced(equals + 1).split(',');
            types.removeIf([](const QByteArray &type) { return equalsIgnoringCase(type.trimmed(), "pref"); });
            if (!types.isEmpty())
                result.append(";TYPE=" + types.join(','));
            continue;
        }
        result.append(';' + parameter);
    }
    return result;
}

QByteArray escaped(const QString &value)
{
    QByteArray text;
    VCardWriter::appendEscaped(text, value.toUtf8());
    return text;
}

QByteArray folded(const QByteArray &line)
{
    QByteArray out;
    VCardWriter::appendFolded(out, line);
    return out;
}

QByteArray structuredName(const QString &name)
{
    const QByteArray utf8 = name.toUtf8();
    const auto [family, given] = VCardWriter::splitName(utf8);
    QByteArray line = "N:";
    VCardWriter::appendEscaped(line, family);
    line.append(';');
    VCardWriter::appendEscaped(line, given);
    line.append(";;;");
    return folded(line);
}

// The value of field as this program writes it (an address whole in the
// street component).
QByteArray valueOf(ContactField field, const QString &value)
{
    if (field == ContactField::Address || field == ContactField::OfficeAddress)
        return ";;" + escaped(value) + ";;;;";
    return escaped(value);
}

// A property line for field on a card that has none.
QByteArray newProperty(ContactField field, const QString &value, bool version4)
{
    const char *head = "";
    switch (field) {
    case ContactField::Name:
        head = "FN";
        break;
    case ContactField::Address:
        head = version4 ? "ADR;TYPE=home" : "ADR;TYPE=HOME";
        break;
    case ContactField::PhoneNumber:
        head = version4 ? "TEL;TYPE=home" : "TEL;TYPE=HOME";
        break;
    case ContactField::Position:
        head = "TITLE";
        break;
    case ContactField::OfficeAddress:
        head = version4 ? "ADR;TYPE=work" : "ADR;TYPE=WORK";
        break;
    case ContactField::OfficePhoneNumber:
        head = version4 ? "TEL;TYPE=work" : "TEL;TYPE=WORK";
        break;
    case ContactField::EmailAddress:
        head = "EMAIL";
        break;
    case ContactField::WebsiteAddress:
        head = "URL";
        break;
    }
    return folded(QByteArray(head) + ':' + valueOf(field, value));
}

} // namespace

std::optional<SyncCard> SyncCard::read(const QByteArray &bytes)
{
    SyncCard card(bytes);
    if (!card.parse())
        return std::nullopt;
    return card;
}

SyncCard SyncCard::create(const ContactValues &values, const QString &uid)
{
    std::array<QByteArray, ContactFieldCount> texts;
    ContactFieldViews views;
    for (int i = 0; i < ContactFieldCount; ++i) {
        texts[i] = values[i].toUtf8();
        views[i] = texts[i];
    }
    QByteArray bytes;
    VCardWriter(VCardWriter::Version::V3).append(views, bytes);
    QByteArray uidLine = "UID:";
    VCardWriter::appendEscaped(uidLine, uid.toUtf8());
    bytes.insert(bytes.indexOf("VERSION:3.0\r\n") + 13, folded(uidLine));
    SyncCard card(bytes);
    card.parse();
    return card;
}

bool SyncCard::parse()
{
    const std::optional<Layout> layout = layoutOf(m_bytes);
    if (!layout)
        return false;
    for (int i = 0; i < ContactFieldCount; ++i)
        m_values[i] = QString::fromUtf8(layout->texts[i]);
    return true;
}

void SyncCard::set(ContactField field, const QString &value)
{
    const std::optional<Layout> layout = layoutOf(m_bytes);
    if (!layout || m_values[fieldIndex(field)] == value)
        return;
    Editor editor(m_bytes);
    const Place &source = layout->sources[fieldIndex(field)];

    if (field == ContactField::Name) {
        // N follows the name, for the programs that show N.
        if (source.line && source.name == "FN")
            editor.replace(source.line, folded(cleanHead(headOf(editor.unfolded(source.line)), false) + ':' + escaped(value)));
        else if (source.line)
            editor.insertAfter(source.line, newProperty(field, value, layout->version4));
        else
            editor.insertBeforeLine(editor.endOfCard(layout->firstLine), newProperty(field, value, layout->version4));
        if (layout->structuredName)
            editor.replace(layout->structuredName, structuredName(value));
        else
            editor.insertBeforeLine(editor.endOfCard(layout->firstLine), structuredName(value));
    } else if (!source.line) {
        if (!value.isEmpty())
            editor.insertBeforeLine(editor.endOfCard(layout->firstLine), newProperty(field, value, layout->version4));
    } else if (value.isEmpty()) {
        editor.replace(source.line, QByteArray());
    } else {
        QByteArray text = valueOf(field, value);
        const QByteArray old = editor.unfolded(source.line);
        const QByteArray oldValue = old.sliced(std::min(old.size(), headOf(old).size() + 1));
        if ((field == ContactField::PhoneNumber || field == ContactField::OfficePhoneNumber)
            && oldValue.size() >= 4 && equalsIgnoringCase(oldValue.first(4), "tel:"))
            text.prepend("tel:");
        editor.replace(source.line, folded(cleanHead(headOf(old), false) + ':' + text));
    }
    editor.apply();
    parse();
}

void SyncCard::keepAlso(ContactField field, const QString &value)
{
    const std::optional<Layout> layout = layoutOf(m_bytes);
    if (!layout || value.isEmpty() || m_values[fieldIndex(field)] == value)
        return;
    Editor editor(m_bytes);
    const Place &source = layout->sources[fieldIndex(field)];
    if (field == ContactField::Name) {
        QByteArray note = "NOTE:";
        VCardWriter::appendEscaped(note, QStringLiteral("Also named: %1").arg(value).toUtf8());
        editor.insertBeforeLine(editor.endOfCard(layout->firstLine), folded(note));
    } else if (source.line) {
        // Right after the one the field reads, and never preferred over it,
        // so that the field keeps reading the same one.
        editor.insertAfter(source.line, folded(cleanHead(headOf(editor.unfolded(source.line)), true) + ':'
                                               + valueOf(field, value)));
    } else {
        editor.insertBeforeLine(editor.endOfCard(layout->firstLine), newProperty(field, value, layout->version4));
    }
    editor.apply();
    parse();
}
