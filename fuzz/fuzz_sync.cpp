// Fuzz target: what sync reads from a CardDAV server, which may send
// anything: multistatus answers (listings, changes, fetched cards) and the
// cards themselves, which sync changes field by field and sends back.
//
// An input is one selector byte and the server's bytes:
//   even  the bytes are a multistatus answer to a request for
//         http://127.0.0.1:5232/ann/book/
//   odd   the bytes are a card
//
// What must hold, checked here and aborting when broken:
//  - a multistatus is read or refused with a reason; every path read is
//    one on the server asked, and no property of a failed propstat counts;
//  - a card is read or refused; one that was read stays readable after any
//    field is set or kept as a second version, and a field that reads as
//    set is not changed by setting it again.

#include "FuzzCheck.h"

#include "sync/DavXml.h"
#include "sync/SyncCard.h"

#include <QCoreApplication>

#include <cstdint>

namespace {

const char FuzzTarget[] = "fuzz_sync";

void readMultistatus(const QByteArray &bytes, QByteArrayView FuzzInput)
{
    DavMultistatus answer;
    QString error;
    const bool read = DavXml::parseMultistatus(bytes, QUrl(QStringLiteral("http://127.0.0.1:5232/ann/book/")), answer, &error);
    CHECK(read || !error.isEmpty());
    for (const DavResource &resource : answer.resources) {
        CHECK(resource.path.startsWith(QLatin1Char('/')));
        CHECK(resource.status == 0 || (resource.status >= 100 && resource.status <= 599));
    }
}

void changeCard(const QByteArray &bytes, QByteArrayView FuzzInput)
{
    const std::optional<SyncCard> card = SyncCard::read(bytes);
    if (!card)
        return;
    const QString values[] = {QString(), QStringLiteral("x"), QStringLiteral("a, b;\nc \\ d"), QString(80, QChar(0x00E9))};
    for (int field = 0; field < ContactFieldCount; ++field) {
        for (const QString &value : values) {
            SyncCard once = *card;
            once.set(ContactField(field), value);
            CHECK(SyncCard::read(once.bytes()).has_value());
            // A value the card could take (an empty name cannot hide an
            // organisation) is not set again.
            if (once.values()[field] == value) {
                SyncCard twice = once;
                twice.set(ContactField(field), value);
                CHECK(twice.bytes() == once.bytes());
            }
            once.keepAlso(ContactField(field), value + QStringLiteral("2"));
            CHECK(SyncCard::read(once.bytes()).has_value());
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray bytes = input.sliced(1).toByteArray();
    if (data[0] % 2 == 0)
        readMultistatus(bytes, input);
    else
        changeCard(bytes, input);
    return 0;
}
