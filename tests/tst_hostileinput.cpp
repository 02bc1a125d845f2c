// Whatever is typed or pasted is stored and read back exactly, is found by
// its own name, and never holds the program up or gets cut short on the way.

#include "ContactTestTools.h"

#include "contacts/ContactRecord.h"
#include "contacts/NameKey.h"
#include "contacts/Recordset.h"
#include "maintenance/FindByName.h"
#include "maintenance/frmfind.h"
#include "recordform/DataControl.h"
#include "support/RecordFormFixture.h"
#include "support/TestProgram.h"
#include "support/WhenModalOpens.h"
#include "toolkit/Controls.h"
#include "toolkit/QtDialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <map>
#include <set>

using namespace RecordFormFixture;

namespace {

// Pieces that break text handling somewhere: SQL quoting and LIKE
// wildcards, escapes, control characters, combining marks, right-to-left
// text, characters beyond the basic plane, letters that fold to others,
// blanks that are not U+0020.
const QStringList &pieces()
{
    static const QStringList all = {
        QStringLiteral("'"), QStringLiteral("''"), QStringLiteral("\""), QStringLiteral("%"), QStringLiteral("_"),
        QStringLiteral("\\"), QStringLiteral("\\'"), QStringLiteral("--"), QStringLiteral(";"), QStringLiteral("/*"),
        QStringLiteral("["), QStringLiteral("]"), QStringLiteral("= '"), QStringLiteral(" "), QStringLiteral("  "),
        QStringLiteral("\t"), QStringLiteral("\r\n"), QStringLiteral("\x01"), QStringLiteral("\x1b[31m"),
        QStringLiteral("\x7f"), QStringLiteral("e\u0301"), QStringLiteral("\u0301"), QStringLiteral("\u0308\u0323"),
        QStringLiteral("שלום"), QStringLiteral("مرحبا"), QStringLiteral("\u200f"), QStringLiteral("\u202e"),
        QStringLiteral("😀"), QStringLiteral("👩‍👩‍👧"), QStringLiteral("🇫🇷"), QStringLiteral("𝐀"),
        QStringLiteral("ß"), QStringLiteral("ẞ"), QStringLiteral("Σ"), QStringLiteral("ς"), QStringLiteral("İ"),
        QStringLiteral("ı"), QStringLiteral("ǅ"), QStringLiteral("ﬁ"), QStringLiteral("Å"), QStringLiteral("A\u030a"),
        QStringLiteral("Ann"), QStringLiteral("bob"), QStringLiteral("ZOE"), QStringLiteral("O'Brien"),
        QStringLiteral("NULL"), QStringLiteral("0x1"), QStringLiteral("\u00a0"), QStringLiteral("\u3000"),
        QStringLiteral("\ufeff"), QStringLiteral("\ufffd"), QStringLiteral("漢字"),
    };
    return all;
}

QString randomText(QRandomGenerator &random, int maxPieces)
{
    QString text;
    const int count = 1 + random.bounded(maxPieces);
    for (int i = 0; i < count; ++i) {
        if (random.bounded(3) == 0)
            text += QChar(u'a' + random.bounded(26));
        else
            text += pieces().at(random.bounded(pieces().size()));
    }
    return text;
}

// A text of about `size` characters made of all the pieces.
QString longText(QRandomGenerator &random, qsizetype size)
{
    QString text;
    text.reserve(size + 64);
    while (text.size() < size)
        text += randomText(random, 8);
    return text;
}

// A name as a failure message can show it.
QByteArray describe(const QString &text)
{
    QString shown;
    for (QChar c : text.left(60))
        shown += c.isPrint() && c.unicode() < 0x80 ? QString(c) : QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    return QStringLiteral("\"%1\"%2 (%3 characters)")
        .arg(shown, text.size() > 60 ? QStringLiteral("...") : QString())
        .arg(text.size())
        .toUtf8();
}

// The contacts as the test put them, by row id.
using Model = std::map<qint64, ContactValues>;

// For every name key, the first row in view order whose name has it: what
// Find must make current.
std::map<QString, qint64> firstByKey(const Model &model)
{
    std::map<QString, qint64> first;
    for (const auto &[id, values] : model)
        first.emplace(nameKey(values[0]), id);
    return first;
}

// Stored is what was put, everywhere: rows, name keys, the file itself.
void verifyFileHolds(const QString &path, const Model &model)
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    const auto check = storedRows(db, "PRAGMA integrity_check");
    const auto stored = storedRows(db, "SELECT rowid, * FROM Table1 ORDER BY rowid");
    const auto pending = storedRows(db, "SELECT name FROM merivo_name_pending");
    const QString keys = nameKeyProblem(db);
    sqlite3_close(db);

    QCOMPARE(check.value(0).value(0).text(), QStringLiteral("ok"));
    QCOMPARE(stored.size(), qsizetype(model.size()));
    auto expected = model.begin();
    for (const QList<StoredValue> &row : stored) {
        QCOMPARE(row[0].text().toLongLong(), expected->first);
        for (int i = 0; i < ContactFieldCount; ++i)
            QVERIFY2(row[i + 1] == StoredValue::fromText(expected->second[i]), describe(expected->second[i]).constData());
        ++expected;
    }
    QVERIFY2(keys.isEmpty(), qPrintable(keys));
    QVERIFY(pending.isEmpty());
}

} // namespace

class TestHostileInput : public QObject
{
    Q_OBJECT

    // fsync costs nothing in memory, and thousands of saves need many.
    static QString scratchFolder()
    {
        return QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm/merivo-XXXXXX")
                                                                  : QString();
    }

private Q_SLOTS:
    void randomNamesAreFoundByTheirOwnName()
    {
        QTemporaryDir dir(scratchFolder());
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("db2.mdb"));
        QRandomGenerator random(20240611);
        Model model;

        Recordset records;
        QVERIFY2(records.open(path), qPrintable(records.lastError()));
        QStringList names;
        for (int i = 0; i < 2500; ++i) {
            QString name = randomText(random, 10);
            if (i % 10 == 5) // a name again, in other letters and with trailing blanks
                name = names.at(random.bounded(names.size())).toUpper() + QStringLiteral("  ");
            if (i % 600 == 0)
                name = longText(random, 100 * 1024);
            ContactValues values{name};
            for (int field = 1; field < ContactFieldCount; ++field)
                values[field] = randomText(random, 6);
            QVERIFY2(addContact(records, values), (describe(name) + ' ' + records.lastError().toUtf8()).constData());
            model[*records.LastModified()] = values;
            names.append(name);
        }
        // Renaming and deleting keep the name keys right.
        for (int i = 0; i < 300; ++i) {
            const qint64 id = std::next(model.begin(), random.bounded(int(model.size())))->first;
            QVERIFY(records.setBookmark(id));
            if (i % 2 == 0) {
                QVERIFY(records.Delete());
                model.erase(id);
            } else {
                const QString name = randomText(random, 10);
                QVERIFY(records.Edit());
                records.setValue(ContactField::Name, name);
                QVERIFY2(records.Update(), qPrintable(records.lastError()));
                model[id][0] = name;
            }
        }

        const std::map<QString, qint64> first = firstByKey(model);
        const auto findsEach = [&model, &first](Recordset &view, int every) {
            int n = 0;
            for (const auto &[id, values] : model) {
                if (n++ % every != 0)
                    continue;
                const QString &name = values[0];
                const QByteArray shown = describe(name);
                QVERIFY2(view.FindFirst(FindByName::criterion(QStringLiteral("name= "), name)),
                         (shown + ' ' + view.lastError().toUtf8()).constData());
                QVERIFY2(!view.NoMatch(), shown.constData());
                const qint64 expected = first.at(nameKey(name));
                QVERIFY2(view.Bookmark() == expected, shown.constData());
                for (int i = 0; i < ContactFieldCount; ++i)
                    QVERIFY2(view.currentValues()[i] == model.at(expected)[i], (shown + " field " + QByteArray::number(i) + " " + describe(view.currentValues()[i]) + " vs " + describe(model.at(expected)[i])).constData());
            }
        };
        findsEach(records, 1);
        records.close();
        if (QTest::currentTestFailed())
            return;
        verifyFileHolds(path, model);

        // Found the same after opening again, and by a store that folds every
        // name as it reads (a read-only file without name keys).
        QVERIFY(records.open(path));
        findsEach(records, 7);
        records.close();
        const QString bare = dir.filePath(QStringLiteral("bare.mdb"));
        QVERIFY(QFile::copy(path, bare));
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(bare).constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "DROP TABLE merivo_name_scheme", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        QVERIFY(records.open(bare, readOnlySettings()));
        QVERIFY(!records.searchesByIndex());
        findsEach(records, 500);
    }

    // Through the Find button of the Find and Edit form, the found contact
    // shows, however long or strange its name: whole, or shortened when it
    // is longer than a box shows.
    void theFindFormShowsWhatItFinds()
    {
        TestProgram t;
        QRandomGenerator random(7);
        QStringList names = {longText(random, 100 * 1024), QStringLiteral("O'Brien %_\\"), longText(random, 40000)};
        for (int i = 0; i < 20; ++i)
            names.append(randomText(random, 10));
        Model model;
        Recordset records;
        QVERIFY(records.open(databasePath(t)));
        for (const QString &name : names) {
            QVERIFY(addContact(records, ContactValues{name, name + QStringLiteral("/1")}));
            model[*records.LastModified()] = {name};
        }
        records.close();
        const std::map<QString, qint64> first = firstByKey(model);

        const auto shown = [](const QString &text) {
            return StoredValue::fromText(text).shownText(DataControl::LongestShownText);
        };
        auto *f = t.show<frmfind>(QStringLiteral("frmfind"));
        for (const QString &name : names) {
            const qint64 id = first.at(nameKey(name));
            const QString expected = model.at(id)[0];
            t.dialogs().type(name);
            f->cmdFind->click();
            QVERIFY2(f->Data1->Recordset()->Bookmark() == id, describe(name).constData());
            QVERIFY2(f->txtName->text() == shown(expected), describe(name).constData());
            QVERIFY2(f->txtAddress->text() == shown(expected + QStringLiteral("/1")), describe(name).constData());
            QVERIFY(f->Data1->caption() == shown(expected));
            // An edit cycle brings the Find button back.
            t.dialogs().answer(MsgBox::Yes);
            f->cmdEdit->click();
            f->cmdCancel->click();
            QCOMPARE(t.dialogs().takeAsked().size(), 2);
        }
    }

    void aMegabytePastedIntoTheFindFormIsRefusedClearly_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("field");
        QTest::newRow("name") << "txtName" << fieldIndex(ContactField::Name);
        QTest::newRow("address") << "txtAddress" << fieldIndex(ContactField::Address);
    }

    // A line edit holding a megabyte would take seconds for every key: the
    // paste is refused with a message, and ten thousand characters, the most
    // a box takes, are stored whole.
    void aMegabytePastedIntoTheFindFormIsRefusedClearly()
    {
        QFETCH(QString, box);
        QFETCH(int, field);
        TestProgram t;
        seed(t, {QStringLiteral("Ann"), QStringLiteral("Bob")});
        QRandomGenerator random(11);
        const QString megabyte = longText(random, 1024 * 1024);
        const QString tenThousand = longText(random, 10000).left(10000);

        auto *f = t.show<frmfind>(QStringLiteral("frmfind"));
        startWork(t, f);
        auto *target = f->findChild<QLineEdit *>(box);
        const QString before = target->text();
        QGuiApplication::clipboard()->setText(megabyte);
        target->selectAll();
        t.dialogs().answer(MsgBox::Ok);
        target->paste();
        QCOMPARE(target->text(), before);
        QTRY_COMPARE(t.dialogs().asked().size(), 1);
        const auto told = t.dialogs().takeAsked().constFirst();
        QVERIFY2(told.prompt.contains(QLocale().toString(10000))
                     && told.prompt.contains(QLocale().toString(megabyte.size())),
                 qPrintable(told.prompt));
        QCOMPARE(told.style, int(MsgBox::OkOnly));

        QGuiApplication::clipboard()->setText(tenThousand);
        target->selectAll();
        target->paste();
        QCOMPARE(target->text(), tenThousand);
        f->cmdUpdate->click();
        QCoreApplication::processEvents();
        QCOMPARE(t.dialogs().takeAsked().size(), 0);
        QList<ContactValues> all = stored(t);
        QVERIFY(all[0][field] == tenThousand);
        QCOMPARE(all[0][fieldIndex(ContactField::PhoneNumber)], QStringLiteral("Ann/2"));
        QCOMPARE(all[1][0], QStringLiteral("Bob"));
    }

    void longStoredTextsShowShortenedAndStayWhole_data()
    {
        QTest::addColumn<QString>("form");
        for (const char *form : {"frmadd", "frmfind", "frmPrint"})
            QTest::newRow(form) << QString::fromLatin1(form);
    }

    // A text longer than a box shows stays whole in the file whatever the
    // forms do.
    void longStoredTextsShowShortenedAndStayWhole()
    {
        QFETCH(QString, form);
        TestProgram t;
        const QString name = QStringLiteral("Bartholomew Fitzgerald-Montgomery III");
        const QString address = QStringLiteral("Start ") + QString(DataControl::LongestShownText * 4, u'a')
            + QStringLiteral(" end");
        Recordset records;
        QVERIFY(records.open(databasePath(t)));
        QVERIFY(addContact(records, ContactValues{name, address}));
        records.close();

        auto *f = t.show<RecordForm>(form);
        QCOMPARE(f->txtName->text(), name);
        QCOMPARE(f->Data1->caption(), name);
        const QString shown = f->txtAddress->text();
        QVERIFY(shown.size() <= DataControl::LongestShownText + 1);
        QVERIFY(shown.startsWith(QStringLiteral("Start aaa")) && shown.endsWith(QStringLiteral("aaa end")));
        QVERIFY(f->txtAddress->isReadOnly());
        if (auto *find = qobject_cast<frmfind *>(f)) {
            startWork(t, find);
            QVERIFY(find->txtAddress->isReadOnly());
            QVERIFY(!find->txtName->isReadOnly());
            find->txtName->setText(QStringLiteral("Bart"));
            find->cmdUpdate->click();
        }
        const ContactValues saved = stored(t).constFirst();
        QVERIFY(saved[fieldIndex(ContactField::Address)] == address);
    }

    // SQLite would store half of a surrogate pair as another character.
    void halfACharacterIsRefusedNotChanged()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("db2.mdb"));
        Recordset records;
        QVERIFY(records.open(path));
        const QString broken = QStringLiteral("Ann") + QChar(0xd83d) + QStringLiteral("Lee");
        QVERIFY(!addContact(records, ContactValues{QStringLiteral("Ann"), broken}));
        QVERIFY2(records.lastError().contains(QLatin1String("half of a character")), qPrintable(records.lastError()));
        QVERIFY2(records.lastError().contains(path), qPrintable(records.lastError()));
        QVERIFY(records.CancelUpdate());
        QVERIFY(addContact(records, QStringLiteral("Ann")));
        QVERIFY(records.MoveFirst());
        QVERIFY(records.Edit());
        records.setValue(ContactField::Name, broken);
        QVERIFY(!records.Update());
        QVERIFY(records.CancelUpdate());
        QVERIFY(records.MoveFirst());
        QCOMPARE(records.currentValues()[0], QStringLiteral("Ann"));
    }

    // The program's real boxes: a megabyte of message shows at once,
    // shortened, and a long answer typed into the input box comes back whole.
    void theRealBoxesShortenOnlyWhatTheyShow()
    {
        QtDialogs dialogs;
        const QString name(1024 * 1024, u'x');
        QString shown;
        whenModalOpens([&shown](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            QVERIFY(box);
            shown = box->text();
            box->button(QMessageBox::Yes)->click();
        });
        QCOMPARE(dialogs.messageBox(QStringLiteral("Do you want to edit ") + name + QStringLiteral(" ?"),
                                    MsgBox::YesNoExclamation, QStringLiteral("Edit")),
                 int(MsgBox::Yes));
        QVERIFY2(shown.size() <= 2001, qPrintable(QString::number(shown.size())));
        QVERIFY(shown.startsWith(QStringLiteral("Do you want to edit xxx")));
        QVERIFY(shown.endsWith(QStringLiteral("xxx ?")));

        const QString answer = QStringLiteral("Émile ") + QString(100 * 1024, u'z');
        whenModalOpens([&answer](QWidget *modal) {
            auto *input = qobject_cast<QInputDialog *>(modal);
            QVERIFY(input);
            auto *edit = input->findChild<QLineEdit *>();
            QGuiApplication::clipboard()->setText(answer);
            edit->paste();
            input->accept();
        });
        QCOMPARE(dialogs.inputBox(QStringLiteral("Enter Name"), QStringLiteral("Find")), answer);
    }
};

QTEST_MAIN(TestHostileInput)
#include "tst_hostileinput.moc"
