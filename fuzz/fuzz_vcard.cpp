// Fuzz target: the vCard reader of merivo-tool's import, as the import runs
// it on any bytes: the encoding is recognised, the cards parsed and mapped
// to the eight fields.
//
// What must hold for every input, checked here and aborting when broken:
//  - the parser ends, either with its cards or with an error that names a
//    line of the text;
//  - every field of every contact is valid UTF-8, whatever bytes and
//    charsets the input holds, and a contact has a name when the mapping
//    says so;
//  - each contact, written as a vCard 4.0 and 3.0 by the export's writer
//    and read again, gives back the same eight fields (line breaks written
//    as one: CR LF and a lone CR become LF; a NUL, which the writer
//    repairs, as U+FFFD).

#include "FuzzCheck.h"

#include "tool/ContactFields.h"
#include "tool/InputText.h"
#include "tool/Utf8Text.h"
#include "tool/VCardMapping.h"
#include "tool/VCardParser.h"
#include "tool/VCardWriter.h"

#include <cstdint>
#include <vector>

namespace {

const char FuzzTarget[] = "fuzz_vcard";

std::vector<ContactTexts> readContacts(QByteArrayView text, QByteArrayView FuzzInput, bool *parsed = nullptr)
{
    std::vector<ContactTexts> contacts;
    NotKept notKept;
    VCardParser parser;
    const bool ok = parser.parse(text, [&](const VCard &card) {
        ContactTexts values;
        VCardMapping::ContactLines lines;
        const bool named = VCardMapping::map(card, values, notKept, &lines);
        CHECK(named == !values[fieldIndex(ContactField::Name)].isEmpty());
        for (int i = 0; i < ContactFieldCount; ++i) {
            CHECK(Utf8Text::isValid(values[i]));
            CHECK(lines[i] >= (values[i].isEmpty() ? 0 : card.firstLine));
        }
        if (named)
            contacts.push_back(copied(values));
        return true;
    });
    if (!ok) {
        CHECK(parser.error().startsWith(QLatin1String("line ")));
        CHECK(parser.error().section(QLatin1Char(' '), 1, 1).remove(QLatin1Char(':')).toLongLong() >= 1);
    }
    if (parsed)
        *parsed = ok;
    return contacts;
}

QByteArray withOneKindOfLineBreak(QByteArray value)
{
    return value.replace("\r\n", "\n").replace('\r', '\n');
}

void checkRoundTrip(const ContactTexts &contact, VCardWriter::Version version, QByteArrayView FuzzInput)
{
    ContactFieldViews views;
    for (int i = 0; i < ContactFieldCount; ++i)
        views[i] = contact[i];
    QByteArray written;
    VCardWriter(version).append(views, written);
    bool parsed = false;
    const std::vector<ContactTexts> back = readContacts(written, FuzzInput, &parsed);
    CHECK(parsed);
    CHECK(back.size() == 1);
    for (int i = 0; i < ContactFieldCount; ++i) {
        const QByteArray expected = Utf8Text::isClean(contact[i]) ? contact[i] : Utf8Text::repaired(contact[i]);
        CHECK(back[0][i] == withOneKindOfLineBreak(expected));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView FuzzInput(reinterpret_cast<const char *>(data), qsizetype(size));
    QByteArray converted;
    const QByteArrayView text = InputText::toUtf8(FuzzInput, converted);
    for (const ContactTexts &contact : readContacts(text, FuzzInput)) {
        checkRoundTrip(contact, VCardWriter::Version::V4, FuzzInput);
        checkRoundTrip(contact, VCardWriter::Version::V3, FuzzInput);
    }
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}
