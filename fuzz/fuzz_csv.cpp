// Fuzz target: the CSV reader of merivo-tool's import, as the import runs
// it on any bytes: the encoding is recognised (UTF-8, UTF-16, Windows-1252),
// the separator guessed, the header mapped and every record read.
//
// What must hold for every input, checked here and aborting when broken:
//  - the reader ends, with its records or with an error that names a line,
//    and the lines of the records it reads never go back;
//  - every field of every contact is valid UTF-8, and a contact has a name
//    when the mapping says so;
//  - the contacts, written by the export's CSV writer under our own header
//    and read again, give back the same eight fields, byte for byte (a NUL,
//    which the writer repairs, as U+FFFD).

#include "FuzzCheck.h"

#include "tool/ContactFields.h"
#include "tool/Csv.h"
#include "tool/CsvHeaderMap.h"
#include "tool/InputText.h"
#include "tool/Utf8Text.h"

#include <cstdint>
#include <vector>

namespace {

const char FuzzTarget[] = "fuzz_csv";

std::vector<ContactTexts> readContacts(QByteArrayView text, QByteArrayView FuzzInput, bool *ownHeader = nullptr)
{
    QByteArray eightBit;
    if (!Utf8Text::isValid(text)) {
        eightBit = Utf8Text::fromWindows1252(text);
        text = eightBit;
    }
    CsvReader reader(text, Csv::guessSeparator(text));
    std::vector<ContactTexts> contacts;
    std::vector<QByteArray> record;
    CsvHeaderMap columns;
    if (!reader.next(record) || !columns.read(record, nullptr)) {
        CHECK(reader.error().isEmpty() || reader.error().startsWith(QLatin1String("line ")));
        return contacts;
    }
    if (ownHeader)
        *ownHeader = columns.isOwnHeader();
    NotKept notKept;
    ContactTexts values;
    qint64 line = reader.line();
    while (reader.next(record)) {
        CHECK(reader.line() > line);
        line = reader.line();
        const bool named = columns.map(record, values, notKept);
        CHECK(named == !values[fieldIndex(ContactField::Name)].isEmpty());
        for (const QByteArray &value : values)
            CHECK(Utf8Text::isValid(value));
        if (named)
            contacts.push_back(copied(values));
    }
    CHECK(reader.error().isEmpty() || reader.error().startsWith(QLatin1String("line ")));
    return contacts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView FuzzInput(reinterpret_cast<const char *>(data), qsizetype(size));
    QByteArray converted;
    const std::vector<ContactTexts> contacts = readContacts(InputText::toUtf8(FuzzInput, converted), FuzzInput);
    if (contacts.empty())
        return 0;

    QByteArray written;
    Csv::appendRecord(written, contactFieldNameViews().data(), ContactFieldCount);
    ContactFieldViews views;
    for (const ContactTexts &contact : contacts) {
        for (int i = 0; i < ContactFieldCount; ++i)
            views[i] = contact[i];
        Csv::appendRecord(written, views.data(), ContactFieldCount);
    }
    bool ownHeader = false;
    const std::vector<ContactTexts> back = readContacts(written, FuzzInput, &ownHeader);
    CHECK(ownHeader);
    CHECK(back.size() == contacts.size());
    for (size_t c = 0; c < contacts.size(); ++c) {
        for (int i = 0; i < ContactFieldCount; ++i) {
            const QByteArray &value = contacts[c][i];
            CHECK(back[c][i] == (Utf8Text::isClean(value) ? value : Utf8Text::repaired(value)));
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}
