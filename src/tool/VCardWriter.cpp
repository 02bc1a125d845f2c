#include "tool/VCardWriter.h"

#include "tool/Utf8Text.h"

namespace {

constexpr qsizetype FoldAt = 75; // bytes per line, without the CR LF

void appendEscaped(QByteArray &line, QByteArrayView value)
{
    // Plain runs are copied whole; only the few special bytes cost a step.
    qsizetype plain = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c != '\\' && c != '\n' && c != '\r' && c != ',' && c != ';')
            continue;
        line.append(value.sliced(plain, i - plain));
        switch (c) {
        case '\n':
            line.append("\\n");
            break;
        case '\r':
            if (i + 1 < value.size() && value[i + 1] == '\n')
                ++i;
            line.append("\\n");
            break;
        default:
            line.append('\\');
            line.append(c);
        }
        plain = i + 1;
    }
    line.append(value.sliced(plain));
}

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Ends the line, folding it into pieces of at most FoldAt bytes, each after
// the first starting with a blank.
void appendFolded(QByteArray &out, QByteArrayView line)
{
    qsizetype limit = FoldAt;
    while (line.size() > limit) {
        qsizetype cut = limit;
        while (cut > 1 && isContinuationByte(line[cut]))
            --cut;
        out.append(line.first(cut));
        out.append("\r\n ");
        line = line.sliced(cut);
        limit = FoldAt - 1;
    }
    out.append(line);
    out.append("\r\n");
}

// The family name for N: the last word of the name; the rest is given.
std::pair<QByteArrayView, QByteArrayView> splitName(QByteArrayView name)
{
    QByteArrayView kept = name;
    while (!kept.isEmpty() && kept.back() == ' ')
        kept.chop(1);
    const qsizetype blank = kept.lastIndexOf(' ');
    if (blank < 0)
        return {kept, QByteArrayView()};
    QByteArrayView given = kept.first(blank);
    while (!given.isEmpty() && given.back() == ' ')
        given.chop(1);
    return {kept.sliced(blank + 1), given};
}

} // namespace

int VCardWriter::append(const ContactFieldViews &values, QByteArray &out) const
{
    ContactFieldViews fields = values;
    QByteArray repairedValues[ContactFieldCount];
    int repaired = 0;
    for (int i = 0; i < ContactFieldCount; ++i)
        repaired += Utf8Text::makeClean(fields[i], repairedValues[i]);

    const bool v4 = m_version == Version::V4;
    QByteArray line;
    line.reserve(128);
    const auto property = [&](const char *head, QByteArrayView value) {
        if (value.isEmpty())
            return;
        line.resize(0); // keeps the allocation
        line.append(head);
        appendEscaped(line, value);
        appendFolded(out, line);
    };
    const auto address = [&](const char *head, QByteArrayView value) {
        if (value.isEmpty())
            return;
        line.resize(0); // keeps the allocation
        line.append(head);
        line.append(";;");
        appendEscaped(line, value);
        line.append(";;;;");
        appendFolded(out, line);
    };

    out.append(v4 ? "BEGIN:VCARD\r\nVERSION:4.0\r\n" : "BEGIN:VCARD\r\nVERSION:3.0\r\n");
    const QByteArrayView name = fields[fieldIndex(ContactField::Name)];
    // 3.0 requires FN and N even for an empty name.
    line.resize(0);
    line.append("FN:");
    appendEscaped(line, name);
    appendFolded(out, line);
    const auto [family, given] = splitName(name);
    line.resize(0);
    line.append("N:");
    appendEscaped(line, family);
    line.append(';');
    appendEscaped(line, given);
    line.append(";;;");
    appendFolded(out, line);

    address(v4 ? "ADR;TYPE=home:" : "ADR;TYPE=HOME:", fields[fieldIndex(ContactField::Address)]);
    property(v4 ? "TEL;TYPE=home:" : "TEL;TYPE=HOME:", fields[fieldIndex(ContactField::PhoneNumber)]);
    property("TITLE:", fields[fieldIndex(ContactField::Position)]);
    address(v4 ? "ADR;TYPE=work:" : "ADR;TYPE=WORK:", fields[fieldIndex(ContactField::OfficeAddress)]);
    property(v4 ? "TEL;TYPE=work:" : "TEL;TYPE=WORK:", fields[fieldIndex(ContactField::OfficePhoneNumber)]);
    property(v4 ? "EMAIL:" : "EMAIL;TYPE=INTERNET:", fields[fieldIndex(ContactField::EmailAddress)]);
    property("URL:", fields[fieldIndex(ContactField::WebsiteAddress)]);
    out.append("END:VCARD\r\n");
    return repaired;
}
