// Fuzz target: the Find criterion parser and the Find operation of the
// contact store, over a store holding names chosen to trip them up.
//
// An input is one flags byte and a text:
//   bit 0  the text is raw UTF-16 (which may hold half a surrogate pair),
//          else UTF-8;
//   bit 1  the text is also stored as a contact's name, found, and deleted;
//   bit 2  the bytes are also stored as a name by another program, as text
//          (bit 3: as a BLOB), found by the text they show, and deleted.
//
// What must hold for every text, checked here and aborting when broken:
//  - the parser accepts it or says why, and what it accepted quotes back to
//    the same field and text;
//  - the text typed as the answer of Find, quoted as the forms quote it,
//    reads back as exactly that answer followed by the one blank;
//  - Find with the text as criterion either refuses it with a reason and
//    leaves the view where it was, or makes current the first contact whose
//    name matches (none, and the view stays, when no name matches);
//  - a stored text is read back unchanged and found by itself, or refused
//    with a reason when it cannot be stored unchanged; the table then holds
//    what it held before;
//  - bytes stored by another program fold alike whether read as UTF-8 or as
//    the text they show, are read back exactly, are found by that text,
//    and are deleted by the store.

#include "contacts/FindCriterion.h"
#include "contacts/NameKey.h"
#include "contacts/Recordset.h"
#include "contacts/SqliteStatement.h"
#include "maintenance/FindByName.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

namespace {

// Names that have broken searching somewhere: quotes, wildcards, folding,
// blanks, marks, right-to-left text, emoji, an empty and a NUL-holding one.
const char *const StoredNames[] = {
    "Ann", "ann  ", "O'Brien", "O''Brien", "%", "_", "\\", "\"quoted\"", "[Name]", "Name= 'x'", "Émile",
    "E\xcc\x81mile", "STRASSE", "Stra\xc3\x9f" "e", "\xce\xa3\xce\x8a\xce\xa3\xce\xa5\xce\xa6\xce\x9f\xce\xa3",
    "\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d", "\xf0\x9f\x98\x80", "\xef\xbb\xbf" "bom", "", "  ", "\t", "a\x01" "b",
};

struct Fixture
{
    Fixture()
        : dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm/merivo-fuzz-XXXXXX")
                                                                  : QString())
    {
        const QString path = dir.filePath(QStringLiteral("db2.mdb"));
        if (!dir.isValid() || !records.open(path)) {
            std::fprintf(stderr, "fuzz_find: cannot open a store in %s\n", qPrintable(dir.path()));
            std::abort();
        }
        for (const char *name : StoredNames)
            add(QString::fromUtf8(name));
        add(QStringLiteral("nul") + QChar(0) + QStringLiteral("inside"));
        sqlite3_open(QFile::encodeName(path).constData(), &otherProgram);
    }
    ~Fixture() { sqlite3_close(otherProgram); }

    qint64 add(const QString &name)
    {
        if (!records.AddNew())
            return 0;
        records.setValue(ContactField::Name, name);
        records.setValue(ContactField::Address, name + QStringLiteral(" street"));
        if (!records.Update()) {
            refusal = records.lastError();
            records.CancelUpdate();
            return 0;
        }
        names[*records.LastModified()] = name;
        return *records.LastModified();
    }

    // The row Find must make current for a text: the first whose name folds alike.
    RecordBookmark firstNamed(const QString &text) const
    {
        const QString key = nameKey(text);
        for (const auto &[id, name] : names) {
            if (nameKey(name) == key)
                return id;
        }
        return std::nullopt;
    }

    // Another program's row: its id, or 0 when SQLite refused it.
    qint64 addAsOtherProgram(QByteArrayView bytes, bool asBlob)
    {
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(otherProgram, "INSERT INTO Table1(\"Name\", \"Address\") VALUES (?1, 'elsewhere')", -1,
                           &insert, nullptr);
        if (asBlob)
            sqlite3_bind_blob(insert, 1, bytes.data() ? bytes.data() : "", int(bytes.size()), SQLITE_TRANSIENT);
        else
            sqlite3_bind_text(insert, 1, bytes.data() ? bytes.data() : "", int(bytes.size()), SQLITE_TRANSIENT);
        const bool added = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_finalize(insert);
        if (!added)
            return 0;
        const qint64 id = sqlite3_last_insert_rowid(otherProgram);
        names[id] = textFromUtf8(bytes);
        return id;
    }

    QTemporaryDir dir;
    Recordset records;
    std::map<qint64, QString> names;
    QString refusal; // why add() could not store its last name
    sqlite3 *otherProgram = nullptr;
};

std::unique_ptr<QCoreApplication> application;
std::unique_ptr<Fixture> fixture;

[[noreturn]] void broken(const char *what, const QString &text)
{
    QByteArray shown;
    for (const QChar c : text.left(200))
        shown += c.unicode() >= 0x20 && c.unicode() < 0x7f ? QByteArray(1, char(c.unicode()))
                                                            : "\\u" + QByteArray::number(c.unicode(), 16);
    std::fprintf(stderr, "fuzz_find: broken: %s\n  text: \"%s\" (%lld characters)\n", what, shown.constData(),
                 static_cast<long long>(text.size()));
    std::abort();
}

#define CHECK(condition, text)                                                                                        \
    do {                                                                                                              \
        if (!(condition))                                                                                             \
            broken(#condition, text);                                                                                 \
    } while (false)

QString decode(const uint8_t *data, size_t size, bool utf16)
{
    if (!utf16)
        return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QString text;
    for (size_t i = 0; i + 1 < size; i += 2)
        text += QChar(char16_t(data[i] | data[i + 1] << 8));
    return text;
}

QString quoted(const QString &text)
{
    QString doubled = text;
    doubled.replace(u'\'', QStringLiteral("''"));
    return u'\'' + doubled + u'\'';
}

void checkParser(const QString &text)
{
    const FindCriterionParse parsed = parseFindCriterion(text);
    CHECK(parsed.criterion.has_value() == parsed.error.isEmpty(), text);
    if (parsed.criterion) {
        const QString again = u'[' + contactFieldName(parsed.criterion->field) + QStringLiteral("]=")
            + quoted(parsed.criterion->text);
        const FindCriterionParse reparsed = parseFindCriterion(again);
        CHECK(reparsed.criterion && reparsed.criterion->field == parsed.criterion->field
                  && reparsed.criterion->text == parsed.criterion->text,
              text);
    }
    for (const QString &fieldPart : {QStringLiteral("Name= "), QStringLiteral("name= ")}) {
        const FindCriterionParse answer = parseFindCriterion(FindByName::criterion(fieldPart, text));
        CHECK(answer.criterion && answer.criterion->field == ContactField::Name
                  && answer.criterion->text == text + u' ',
              text);
    }
}

void checkFind(const QString &text)
{
    Recordset &records = fixture->records;
    CHECK(records.MoveLast(), text);
    const RecordBookmark before = records.Bookmark();

    // The text as a whole criterion.
    const FindCriterionParse parsed = parseFindCriterion(text);
    if (!records.FindFirst(text)) {
        CHECK(!records.lastError().isEmpty(), text);
        CHECK(!parsed.criterion || parsed.criterion->field != ContactField::Name, text);
        CHECK(records.Bookmark() == before, text);
    } else {
        CHECK(parsed.criterion && parsed.criterion->field == ContactField::Name, text);
        const RecordBookmark expected = fixture->firstNamed(parsed.criterion->text);
        CHECK(records.NoMatch() == !expected, text);
        CHECK(records.Bookmark() == (expected ? expected : before), text);
    }

    // The text as the answer typed into Find.
    CHECK(records.FindFirst(FindByName::criterion(QStringLiteral("name= "), text)), text);
    const RecordBookmark expected = fixture->firstNamed(text);
    CHECK(records.NoMatch() == !expected, text);
    if (expected) {
        CHECK(records.Bookmark() == expected, text);
        CHECK(records.currentValues()[0] == fixture->names.at(*expected), text);
    }
}

void checkStored(const QString &text)
{
    Recordset &records = fixture->records;
    fixture->refusal.clear();
    const qint64 id = fixture->add(text);
    if (!id) {
        // Only half a surrogate pair may keep a text from being stored.
        CHECK(!text.isValidUtf16(), text);
        CHECK(!fixture->refusal.isEmpty(), text);
        return;
    }
    CHECK(records.setBookmark(id), text);
    CHECK(records.currentValues()[0] == text, text);
    CHECK(records.currentValues()[1] == text + QStringLiteral(" street"), text);
    CHECK(records.FindFirst(FindByName::criterion(QStringLiteral("Name= "), text)), text);
    CHECK(records.Bookmark() == fixture->firstNamed(text), text);
    CHECK(records.setBookmark(id), text);
    CHECK(records.Delete(), text);
    fixture->names.erase(id);
}

void checkStoredByOtherProgram(QByteArrayView bytes, bool asBlob)
{
    const QString shown = textFromUtf8(bytes);
    QByteArray key;
    nameKeyUtf8(bytes, key);
    CHECK(key == nameKey(shown).toUtf8(), shown);

    Recordset &records = fixture->records;
    const qint64 id = fixture->addAsOtherProgram(bytes, asBlob);
    CHECK(id != 0, shown);
    CHECK(records.setBookmark(id), shown);
    const StoredValue &name = records.currentRecord()[0];
    CHECK(name.type() == (asBlob ? StoredValue::Type::Blob : StoredValue::Type::Text) && name.bytes() == bytes, shown);
    CHECK(records.FindFirst(FindByName::criterion(QStringLiteral("name= "), shown)), shown);
    CHECK(!records.NoMatch() && records.Bookmark() == fixture->firstNamed(shown), shown);
    CHECK(records.setBookmark(id) && records.Delete(), shown);
    fixture->names.erase(id);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    application = std::make_unique<QCoreApplication>(*argc, *argv);
    fixture = std::make_unique<Fixture>();
    std::atexit([] {
        fixture.reset();
        application.reset();
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t flags = data[0];
    const QString text = decode(data + 1, size - 1, flags & 1);
    checkParser(text);
    checkFind(text);
    if (flags & 2)
        checkStored(text);
    if (flags & 4)
        checkStoredByOtherProgram(QByteArrayView(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)), flags & 8);
    return 0;
}
