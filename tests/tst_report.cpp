#include "contacts/ContactRecord.h"
#include "printing/ReportControl.h"
#include "printing/ReportPageView.h"
#include "printing/ReportWindow.h"
#include "report/FontSubset.h"
#include "report/Report.h"
#include "report/ReportCanvas.h"
#include "report/ReportDefinition.h"
#include "report/ReportDocument.h"
#include "report/ReportEngine.h"
#include "report/ReportFonts.h"
#include "report/ReportPdf.h"
#include "report/ReportQuery.h"
#include "report/TextWrap.h"
#include "toolkit/Fonts.h"
#include "shell/MDIMain.h"
#include "support/CapturingPrinter.h"
#include "support/ScriptedDialogs.h"
#include "support/TestProgram.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QTextLayout>
#include <QLabel>
#include <QLocale>
#include <QProcess>
#include <QProgressDialog>
#include <QTimer>
#include <QRegularExpression>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using Box = ScriptedDialogs::Box;

namespace {

// A Table1 as the contact store makes it, filled with `contacts` in order.
void writeContacts(const QString &path, const QList<QStringList> &contacts)
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    QStringList columns;
    for (const QString &name : contactFieldNames())
        columns.append(QStringLiteral("\"%1\" TEXT NOT NULL DEFAULT ''").arg(name));
    const QString create = QStringLiteral("CREATE TABLE IF NOT EXISTS Table1 (%1)").arg(columns.join(u','));
    QCOMPARE(sqlite3_exec(db, create.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_stmt *insert = nullptr;
    QCOMPARE(sqlite3_prepare_v2(db, "INSERT INTO Table1 VALUES (?,?,?,?,?,?,?,?)", -1, &insert, nullptr), SQLITE_OK);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (const QStringList &contact : contacts) {
        for (int i = 0; i < ContactFieldCount; ++i) {
            const QString value = contact.value(i);
            sqlite3_bind_text16(insert, i + 1, value.utf16(), int(value.size() * 2), SQLITE_TRANSIENT);
        }
        QCOMPARE(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_reset(insert);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(insert);
    sqlite3_close(db);
}

// A contact whose fields other than the name say whose they are.
QStringList contact(const QString &name)
{
    QStringList values{name};
    for (int i = 1; i < ContactFieldCount; ++i)
        values.append(QStringLiteral("%1 · %2").arg(name).arg(i));
    return values;
}

QString writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text);
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList column(const ReportRows &rows, int index)
{
    QStringList values;
    for (qsizetype row = 0; row < rows.rowCount(); ++row)
        values.append(rows.cell(row, index));
    return values;
}

// One point per UTF-16 unit: wrapping and layout become plain arithmetic.
class UnitMeasure final : public TextMeasure
{
public:
    qreal advance(QStringView text) const override { return qreal(text.size()); }
};

// A contact in each of six scripts, with values as long as real ones:
// conjuncts, joining letters, right-to-left text, fallback fonts.
const QList<QStringList> SixScripts = {
    {QStringLiteral("Zoë Ångström"), QStringLiteral("Hauptstraße 5, 50667 Köln"), QStringLiteral("+49 221 0000"),
     QStringLiteral("Einkäuferin"), QStringLiteral("Domkloster 4, 50667 Köln"), QStringLiteral("+49 221 1111"),
     QStringLiteral("zoe@example.de"), QStringLiteral("example.de/zoe")},
    {QStringLiteral("Αλέξανδρος Παπαδόπουλος"), QStringLiteral("Οδός Ερμού 25, 10563 Αθήνα"),
     QStringLiteral("+30 210 0000"), QStringLiteral("Λογιστής"), QStringLiteral("Πανεπιστημίου 30, Αθήνα"),
     QStringLiteral("+30 210 1111"), QStringLiteral("alex@example.gr"), QStringLiteral("example.gr")},
    {QStringLiteral("Дмитрий Иванов"), QStringLiteral("ул. Тверская, д. 7, Москва"), QStringLiteral("+7 495 000"),
     QStringLiteral("Инженер"), QStringLiteral("Невский пр., 28"), QStringLiteral("+7 812 111"),
     QStringLiteral("dima@example.ru"), QStringLiteral("example.ru/dima")},
    {QStringLiteral("山田太郎"), QStringLiteral("東京都港区芝公園4丁目2-8"), QStringLiteral("+81 3 0000"),
     QStringLiteral("営業部長"), QStringLiteral("大阪府大阪市北区梅田1丁目"), QStringLiteral("+81 6 1111"),
     QStringLiteral("taro@example.jp"), QStringLiteral("example.jp/taro")},
    {QStringLiteral("محمد عبد الله"), QStringLiteral("شارع الملك فهد 12 الرياض"), QStringLiteral("+966 11 000"),
     QStringLiteral("مدير المبيعات"), QStringLiteral("طريق الملك عبدالعزيز 7 جدة"), QStringLiteral("+966 12 111"),
     QStringLiteral("m.abdullah@example.sa"), QStringLiteral("example.sa")},
    {QStringLiteral("अर्जुन शर्मा"), QStringLiteral("नई दिल्ली क्षेत्र, भारत"), QStringLiteral("+91 11 0000"),
     QStringLiteral("प्रबंधक"), QStringLiteral("मुंबई महाराष्ट्र"), QStringLiteral("+91 22 1111"),
     QStringLiteral("arjun@example.in"), QStringLiteral("example.in/arjun")},
};

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return process.exitCode() == 0 ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
}

// Records what a page draws, as drawn.
class RecordingCanvas final : public ReportCanvas
{
public:
    struct Drawn
    {
        int page;
        ShapedLine line;
        qreal size;
        QPointF origin;
        QRectF box;
    };
    QList<Drawn> lines;
    int page = 0;

    void text(const ShapedLine &line, const FontFaces &, qreal size, QPointF origin, const QRectF &box) override
    {
        lines.append({page, line, size, origin, box});
    }
    void line(const QLineF &, const QColor &, qreal) override {}
};

const QByteArray ThreeColumns = R"({
    "title": "People",
    "source": { "database": "db2.mdb", "table": "Table1" },
    "columns": [
        { "field": "Email Address", "heading": "Mail", "width": 60 },
        { "field": "name", "width": 40 },
        { "field": "Website Address", "heading": "Web", "lines": 2 }
    ],
    "sort": { "field": "Name" }
})";

// Unicode names in an order the sort must change; two differ in letter case only.
const QStringList UnsortedNames = {QStringLiteral("Zoë Ng"), QStringLiteral("bob"),   QStringLiteral("Émile"),
                                   QStringLiteral("alice"),  QStringLiteral("Alice"), QStringLiteral("Ωmega"),
                                   QStringLiteral("Дмитрий"), QStringLiteral("山田太郎")};
const QStringList SortedNames = {QStringLiteral("alice"), QStringLiteral("Alice"),   QStringLiteral("bob"),
                                 QStringLiteral("Émile"), QStringLiteral("Zoë Ng"),  QStringLiteral("Ωmega"),
                                 QStringLiteral("Дмитрий"), QStringLiteral("山田太郎")};

} // namespace

class TestReport : public QObject
{
    Q_OBJECT

private:
    // A program on the main window, with the default definition and contacts.
    static MDIMain *mainWindow(TestProgram &t, const QStringList &names)
    {
        ReportDefinitionFile::writeDefaultIfMissing(definitionPath(t.dataDirectory()));
        QList<QStringList> contacts;
        for (const QString &name : names)
            contacts.append(contact(name));
        writeContacts(QDir(t.dataDirectory()).filePath(QStringLiteral("db2.mdb")), contacts);
        return t.show<MDIMain>(QStringLiteral("MDIMain"));
    }

    static QString definitionPath(const QString &folder)
    {
        return QDir(folder).filePath(QStringLiteral("plimo.rpt"));
    }

private Q_SLOTS:
    // --- the definition file ---------------------------------------------------

    void definitionProblemsAreToldWithTheFile_data()
    {
        QTest::addColumn<QByteArray>("text"); // null: no file at all
        QTest::addColumn<QString>("problem");
        const auto withColumn = [](const char *column) {
            return QByteArray(R"({"source": {"database": "db2.mdb", "table": "Table1"}, "columns": [)") + column
                 + "]}";
        };
        QTest::newRow("missing") << QByteArray() << QStringLiteral("does not exist");
        QTest::newRow("not JSON") << QByteArray(R"({"title": "x",)") << QStringLiteral("is not valid JSON");
        QTest::newRow("not an object") << QByteArray("[1, 2]") << QStringLiteral("must be one object");
        QTest::newRow("no source") << QByteArray(R"({"columns": [{"field": "Name"}]})")
                                   << QStringLiteral("the definition has no \"source\"");
        QTest::newRow("no columns") << QByteArray(R"({"source": {"database": "d", "table": "t"}})")
                                    << QStringLiteral("\"columns\" must be a list");
        QTest::newRow("empty columns") << withColumn("") << QStringLiteral("\"columns\" must be a list");
        QTest::newRow("column without field") << withColumn(R"({"heading": "Name"})")
                                              << QStringLiteral("column 1 has no \"field\"");
        QTest::newRow("misspelt key") << withColumn(R"({"field": "Name"}, {"field": "Address", "widht": 30})")
                                      << QStringLiteral("column 2 has an unknown key \"widht\"");
        QTest::newRow("width out of range") << withColumn(R"({"field": "Name", "width": 0})")
                                            << QStringLiteral("\"width\" of column 1 must be a number from 5 to 1000");
        QTest::newRow("lines not whole") << withColumn(R"({"field": "Name", "lines": 1.5})")
                                         << QStringLiteral("\"lines\" of column 1 must be a whole number");
        QTest::newRow("orientation") << QByteArray(R"({"source": {"database": "d", "table": "t"},
                                                      "columns": [{"field": "Name"}],
                                                      "page": {"orientation": "sideways"}})")
                                     << QStringLiteral("\"orientation\" of \"page\" must be \"portrait\" or "
                                                       "\"landscape\", not \"sideways\"");
        QTest::newRow("paper") << QByteArray(R"({"source": {"database": "d", "table": "t"},
                                                "columns": [{"field": "Name"}], "page": {"size": "A9"}})")
                               << QStringLiteral("\"size\" of \"page\" must be A3, A4, A5, Letter or Legal");
    }

    void definitionProblemsAreToldWithTheFile()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, problem);
        QTemporaryDir dir;
        const QString path = definitionPath(dir.path());
        if (!text.isNull())
            writeFile(path, text);

        const ReportDefinitionFile::Loaded loaded = ReportDefinitionFile::read(path);
        QVERIFY(!loaded.definition);
        QVERIFY2(loaded.error.startsWith(QStringLiteral("The report definition %1 ").arg(QDir::toNativeSeparators(path))),
                 qPrintable(loaded.error));
        QVERIFY2(loaded.error.contains(problem), qPrintable(loaded.error));
    }

    void theDefaultDefinitionListsEveryContactFieldByName()
    {
        QTemporaryDir dir;
        const QString path = definitionPath(dir.path());
        const ReportDefinitionFile::Loaded loaded = ReportDefinitionFile::parse(ReportDefinitionFile::defaultText(), path);
        QVERIFY2(loaded.definition, qPrintable(loaded.error));
        const ReportDefinition &definition = *loaded.definition;
        QStringList fields;
        for (const QString &name : contactFieldNames())
            fields.append(name);
        QCOMPARE(definition.fields(), fields);
        QCOMPARE(definition.databasePath, QDir(dir.path()).filePath(QStringLiteral("db2.mdb")));
        QCOMPARE(definition.table, QStringLiteral("Table1"));
        QCOMPARE(definition.sortField, QStringLiteral("Name"));
        QVERIFY(!definition.sortCaseSensitive);
        QCOMPARE(definition.orientation, QPageLayout::Landscape);

        // The columns fit across the page as given, without narrowing.
        const ReportLayout layout = layoutReport(definition, ReportRows(8), UnitMeasure(), ReportMetrics());
        const ReportColumnPlace &last = layout.columns.constLast();
        QVERIFY(last.x + last.width <= layout.area.width());
        QCOMPARE(last.width, definition.columns.constLast().widthMm * 72 / 25.4);
    }

    void theDefaultIsWrittenOnlyWhereNoneIs()
    {
        QTemporaryDir dir;
        const QString path = QDir(dir.path()).filePath(QStringLiteral("new/folder/plimo.rpt"));
        QCOMPARE(ReportDefinitionFile::writeDefaultIfMissing(path), ReportDefinitionFile::Outcome::Created);
        QCOMPARE(readFile(path), ReportDefinitionFile::defaultText());
        QCOMPARE(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions()); // the owner's only

        const QByteArray edited = R"({"title": "Mine"})";
        writeFile(path, edited);
        QCOMPARE(ReportDefinitionFile::writeDefaultIfMissing(path), ReportDefinitionFile::Outcome::AlreadyThere);
        QCOMPARE(readFile(path), edited);

        // A folder that cannot be made: a file stands in its place.
        const QString blocked = QDir(dir.path()).filePath(QStringLiteral("new/folder/plimo.rpt/plimo.rpt"));
        QString error;
        QCOMPARE(ReportDefinitionFile::writeDefaultIfMissing(blocked, &error), ReportDefinitionFile::Outcome::Failed);
        QVERIFY2(error.contains(QDir::toNativeSeparators(QFileInfo(blocked).absolutePath())), qPrintable(error));
    }

    // --- reading the rows ------------------------------------------------------

    void rowsComeWithTheNamedFieldsInOrder_data()
    {
        QTest::addColumn<bool>("sorted");
        QTest::newRow("sorted by name, letter case aside") << true;
        QTest::newRow("table order") << false;
    }

    void rowsComeWithTheNamedFieldsInOrder()
    {
        QFETCH(bool, sorted);
        QTemporaryDir dir;
        QList<QStringList> contacts;
        for (const QString &name : UnsortedNames)
            contacts.append(contact(name));
        writeContacts(QDir(dir.path()).filePath(QStringLiteral("db2.mdb")), contacts);
        QByteArray text = ThreeColumns;
        if (!sorted)
            text.replace(R"("sort": { "field": "Name" })", R"("page": { "size": "Letter" })");
        const auto loaded = ReportDefinitionFile::parse(text, definitionPath(dir.path()));
        QVERIFY2(loaded.definition, qPrintable(loaded.error));

        const ReportQuery::Result result = ReportQuery::run(*loaded.definition);
        QVERIFY2(result.rows, qPrintable(result.error));
        const ReportRows &rows = *result.rows;
        QCOMPARE(rows.columnCount(), 3);
        const QStringList names = sorted ? SortedNames : UnsortedNames;
        QCOMPARE(column(rows, 1), names);
        for (qsizetype row = 0; row < rows.rowCount(); ++row) {
            QCOMPARE(rows.cell(row, 0), contact(names[row])[6]); // Email Address
            QCOMPARE(rows.cell(row, 2), contact(names[row])[7]); // Website Address
        }
    }

    void unusableSourcesAreToldWithTheFiles_data()
    {
        QTest::addColumn<QByteArray>("database"); // null: no file
        QTest::addColumn<QByteArray>("from");     // replaced in the definition...
        QTest::addColumn<QByteArray>("to");       // ...by this
        QTest::addColumn<QString>("problem");
        QTest::newRow("no database") << QByteArray() << QByteArray() << QByteArray()
                                     << QStringLiteral("the file does not exist");
        QTest::newRow("not a database") << QByteArray(4096, 'x') << QByteArray() << QByteArray()
                                        << QStringLiteral("file is not a database");
        QTest::newRow("no such table") << QByteArray("contacts") << QByteArray("Table1") << QByteArray("Table2")
                                       << QStringLiteral("it has no table \"Table2\"");
        QTest::newRow("no such field") << QByteArray("contacts") << QByteArray("Website Address")
                                       << QByteArray("Fax") << QStringLiteral("has no field \"Fax\"");
        QTest::newRow("no such sort field") << QByteArray("contacts") << QByteArray(R"("field": "Name" })")
                                            << QByteArray(R"("field": "Surname" })")
                                            << QStringLiteral("has no field \"Surname\"");
    }

    void unusableSourcesAreToldWithTheFiles()
    {
        QFETCH(QByteArray, database);
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QString, problem);
        QTemporaryDir dir;
        const QString databasePath = QDir(dir.path()).filePath(QStringLiteral("db2.mdb"));
        if (database == "contacts")
            writeContacts(databasePath, {contact(QStringLiteral("Ann"))});
        else if (!database.isNull())
            writeFile(databasePath, database);
        QByteArray text = ThreeColumns;
        if (!from.isEmpty())
            text.replace(from, to);
        const QString path = writeFile(definitionPath(dir.path()), text);

        ReportEngine engine;
        const ReportEngine::Produced produced = engine.produce(path, true);
        QVERIFY(!produced.report);
        QVERIFY2(produced.error.contains(QDir::toNativeSeparators(databasePath)), qPrintable(produced.error));
        QVERIFY2(produced.error.contains(QDir::toNativeSeparators(path)), qPrintable(produced.error));
        QVERIFY2(produced.error.contains(problem), qPrintable(produced.error));
    }

    // --- layout --------------------------------------------------------------------

    void wrapping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qreal>("width");
        QTest::addColumn<int>("maxLines");
        QTest::addColumn<QList<TextLine>>("lines");
        QTest::newRow("fits") << QStringLiteral("abc") << 10.0 << 2 << QList<TextLine>{{0, 3, false}};
        QTest::newRow("empty") << QString() << 10.0 << 2 << QList<TextLine>{{0, 0, false}};
        QTest::newRow("at the last blank that fits")
            << QStringLiteral("hello big world") << 9.0 << 3 << QList<TextLine>{{0, 9, false}, {10, 5, false}};
        QTest::newRow("blank just past the line") << QStringLiteral("hello world") << 5.0 << 2
                                                   << QList<TextLine>{{0, 5, false}, {6, 5, false}};
        QTest::newRow("blanks at a break dropped") << QStringLiteral("ab    cd") << 3.0 << 2
                                                    << QList<TextLine>{{0, 2, false}, {6, 2, false}};
        QTest::newRow("word longer than a line") << QStringLiteral("abcdefghij") << 4.0 << 3
                                                  << QList<TextLine>{{0, 4, false}, {4, 4, false}, {8, 2, false}};
        QTest::newRow("line feed") << QStringLiteral("ab\ncd") << 10.0 << 2
                                   << QList<TextLine>{{0, 2, false}, {3, 2, false}};
        QTest::newRow("one line, cut") << QStringLiteral("one two three") << 7.0 << 1
                                       << QList<TextLine>{{0, 6, true}};
        QTest::newRow("last line cut") << QStringLiteral("aaa bbb ccc ddd eee") << 7.0 << 2
                                       << QList<TextLine>{{0, 7, false}, {8, 6, true}};
        QTest::newRow("cut after a line feed") << QStringLiteral("street\ntown\ncountry") << 20.0 << 2
                                               << QList<TextLine>{{0, 6, false}, {7, 4, true}};
        QTest::newRow("surrogate pairs kept whole") << QStringLiteral("😀😀") << 1.0 << 3
                                                     << QList<TextLine>{{0, 2, false}, {2, 2, false}};
    }

    void wrapping()
    {
        QFETCH(QString, text);
        QFETCH(qreal, width);
        QFETCH(int, maxLines);
        QFETCH(QList<TextLine>, lines);
        const QList<TextLine> wrapped = wrapText(text, width, maxLines, UnitMeasure());
        QCOMPARE(wrapped, lines);
        for (const TextLine &line : wrapped)
            QVERIFY(line.length + (line.elided ? 1 : 0) <= qMax<qsizetype>(width, 2));
    }

    void pagesHoldWholeRowsInOrderAndAsManyAsFit_data()
    {
        QTest::addColumn<int>("rowCount");
        QTest::addColumn<bool>("landscape");
        QTest::newRow("no rows") << 0 << false;
        QTest::newRow("one row") << 1 << true;
        QTest::newRow("a few pages") << 150 << false;
        QTest::newRow("many pages") << 3000 << true;
    }

    void pagesHoldWholeRowsInOrderAndAsManyAsFit()
    {
        QFETCH(int, rowCount);
        QFETCH(bool, landscape);
        ReportDefinition definition;
        definition.columns = {{QStringLiteral("A"), QStringLiteral("A"), 20, 1},
                              {QStringLiteral("B"), QStringLiteral("B"), 20, 3}};
        definition.orientation = landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
        ReportRows rows(2);
        for (int row = 0; row < rowCount; ++row) {
            rows.append(QString(row % 200, u'a'));                         // longer than a line, but one line
            rows.append(QString(row % 7 * 30, u'b').replace(20, 1, u' ')); // one to three lines
        }
        const ReportMetrics metrics;
        const ReportLayout layout = layoutReport(definition, rows, UnitMeasure(), metrics);

        QVERIFY(!layout.pages.isEmpty());
        qsizetype next = 0;
        for (qsizetype p = 0; p < layout.pages.size(); ++p) {
            const ReportPage &page = layout.pages[p];
            QCOMPARE(page.firstRow, next);
            QVERIFY(page.rowCount > 0 || rowCount == 0);
            qreal used = 0;
            for (qsizetype row = page.firstRow; row < page.firstRow + page.rowCount; ++row) {
                const qreal width = layout.columns[1].textWidth;
                const qsizetype lines = wrapText(rows.cell(row, 1), width, 3, UnitMeasure()).size();
                QCOMPARE(qsizetype(layout.rowLines[size_t(row)]), std::max<qsizetype>(lines, 1));
                used += layout.rowHeight(row);
            }
            QVERIFY(used <= layout.bodyHeight());
            next = page.firstRow + page.rowCount;
            // A page ends only when its next row would not fit.
            if (next < rowCount)
                QVERIFY(used + layout.rowHeight(next) > layout.bodyHeight());
        }
        QCOMPARE(next, qsizetype(rowCount));
    }

    void columnsTooWideAreNarrowedAlike()
    {
        ReportDefinition definition;
        definition.columns = {{QStringLiteral("A"), QStringLiteral("A"), 300, 1},
                              {QStringLiteral("B"), QStringLiteral("B"), 100, 1}};
        const ReportLayout layout = layoutReport(definition, ReportRows(2), UnitMeasure(), ReportMetrics());
        QCOMPARE(layout.columns[0].x, 0.0);
        QCOMPARE(layout.columns[1].x, layout.columns[0].width);
        QCOMPARE(layout.columns[0].width + layout.columns[1].width, layout.area.width());
        QCOMPARE(layout.columns[0].width, 3 * layout.columns[1].width);
    }

    // --- the report control and the menu -----------------------------------------

    void theReportCommandAssignsThreeMembersInOrderEachTime()
    {
        TestProgram t;
        MDIMain *main = mainWindow(t, {QStringLiteral("Bob"), QStringLiteral("ann")});
        QSignalSpy assigned(main->ReportControl1, &ReportControl::assigned);
        QCOMPARE(main->ReportControl1->objectName(), QStringLiteral("ReportControl1"));

        main->report->trigger();
        main->report->trigger();

        const QString path = QDir(t.dataDirectory()).filePath(QStringLiteral("plimo.rpt"));
        QCOMPARE(assigned.size(), 6);
        for (int run = 0; run < 2; ++run) {
            const auto &file = assigned[run * 3];
            const auto &fresh = assigned[run * 3 + 1];
            const auto &action = assigned[run * 3 + 2];
            QCOMPARE(file[0].toInt(), 3);
            QCOMPARE(file[1].value<QVariant>().typeId(), int(QMetaType::QString));
            QCOMPARE(file[1].value<QVariant>().toString(), path);
            QCOMPARE(fresh[0].toInt(), 34);
            QCOMPARE(fresh[1].value<QVariant>(), QVariant(true));
            QCOMPARE(action[0].toInt(), 17);
            QCOMPARE(action[1].value<QVariant>().typeId(), int(QMetaType::Short));
            QCOMPARE(action[1].value<QVariant>().toInt(), 1);
        }

        // Two runs, two reports, each in a window of its own.
        const QList<ReportWindow *> windows = main->ReportControl1->windows();
        QCOMPARE(windows.size(), 2);
        QVERIFY(windows[0] != windows[1]);
        for (ReportWindow *window : windows) {
            QVERIFY(window->isVisible());
            QVERIFY(!window->isModal());
            QCOMPARE(column(*window->document().report().rows, 0), (QStringList{QStringLiteral("ann"), QStringLiteral("Bob")}));
        }
        QVERIFY(t.dialogs().asked().isEmpty());
    }

    void reportProblemsAreToldWithTheFileName_data()
    {
        QTest::addColumn<QByteArray>("definition"); // null: no file
        QTest::addColumn<bool>("database");
        QTest::addColumn<QString>("problem");
        QTest::newRow("missing definition") << QByteArray() << true << QStringLiteral("does not exist");
        QTest::newRow("malformed definition") << QByteArray("{ \"title\": ") << true
                                              << QStringLiteral("is not valid JSON");
        QTest::newRow("unreadable database") << ReportDefinitionFile::defaultText() << false
                                             << QStringLiteral("cannot be read");
    }

    void reportProblemsAreToldWithTheFileName()
    {
        QFETCH(QByteArray, definition);
        QFETCH(bool, database);
        QFETCH(QString, problem);
        TestProgram t;
        const QString path = definitionPath(t.dataDirectory());
        const QString databasePath = QDir(t.dataDirectory()).filePath(QStringLiteral("db2.mdb"));
        if (!definition.isNull())
            writeFile(path, definition);
        if (database)
            writeContacts(databasePath, {contact(QStringLiteral("Ann"))});
        else
            writeFile(databasePath, "not a database, though the name says so");
        auto *main = t.show<MDIMain>(QStringLiteral("MDIMain"));

        t.dialogs().answer(MsgBox::Ok);
        main->report->trigger();

        const QList<Box> asked = t.dialogs().takeAsked();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].style, int(MsgBox::OkOnly));
        QCOMPARE(asked[0].title, std::optional<QString>(QStringLiteral("Report")));
        QVERIFY2(asked[0].prompt.contains(QDir::toNativeSeparators(path)), qPrintable(asked[0].prompt));
        QVERIFY2(asked[0].prompt.contains(problem), qPrintable(asked[0].prompt));
        if (!database)
            QVERIFY2(asked[0].prompt.contains(QDir::toNativeSeparators(databasePath)), qPrintable(asked[0].prompt));
        QVERIFY(main->ReportControl1->windows().isEmpty());
    }

    void theControlRefusesWhatItDoesNotKnow_data()
    {
        QTest::addColumn<int>("member");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("unknown member") << 99 << QVariant(1);
        QTest::newRow("file as a number") << 3 << QVariant(42);
        QTest::newRow("fresh data as text") << 34 << QVariant(QStringLiteral("yes"));
        QTest::newRow("action 2") << 17 << QVariant::fromValue<qint16>(2);
        QTest::newRow("action as text") << 17 << QVariant(QStringLiteral("1"));
    }

    void theControlRefusesWhatItDoesNotKnow()
    {
        QFETCH(int, member);
        QFETCH(QVariant, value);
        ScriptedDialogs dialogs;
        CapturingPrinter printer;
        ReportControl control(dialogs, printer);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(".")));
        QVERIFY(!control.assign(member, value));
        QVERIFY(!control.lastError().isEmpty());
        QVERIFY(control.windows().isEmpty());
        QVERIFY(dialogs.asked().isEmpty());
    }

    void freshDataDecidesWhetherRowsAreReadAgain()
    {
        QTemporaryDir dir;
        const QString database = QDir(dir.path()).filePath(QStringLiteral("db2.mdb"));
        writeContacts(database, {contact(QStringLiteral("Ann")), contact(QStringLiteral("Bob"))});
        const QString path = writeFile(definitionPath(dir.path()), ThreeColumns);
        ScriptedDialogs dialogs;
        CapturingPrinter printer;
        ReportControl control(dialogs, printer);
        const auto rowsOfRun = [&] {
            control.assign(ReportControl::Action, QVariant::fromValue<qint16>(1));
            return control.windows().constLast()->document().report().rows->rowCount();
        };
        control.assign(ReportControl::ReportFile, path);

        control.assign(ReportControl::FreshData, false);
        QCOMPARE(rowsOfRun(), 2);
        writeContacts(database, {contact(QStringLiteral("Cy"))});
        QCOMPARE(rowsOfRun(), 2); // the rows read before serve again
        control.assign(ReportControl::FreshData, true);
        QCOMPARE(rowsOfRun(), 3);
        QCOMPARE(control.windows().size(), 3);
    }

    void reportWindowsCloseWithTheMainWindow()
    {
        TestProgram t;
        MDIMain *main = mainWindow(t, {QStringLiteral("Ann")});
        main->report->trigger();
        QPointer<ReportWindow> window = main->ReportControl1->windows().value(0);
        QVERIFY(window);
        main->mnuexit->trigger();
        t.settle();
        QVERIFY(window.isNull());
    }

    // --- the report window: pages, printing, PDF -------------------------------------

    void theWindowPrintsEveryPageOrSaysWhyNot()
    {
        TestProgram t;
        QStringList names;
        for (int i = 0; i < 120; ++i)
            names.append(QStringLiteral("Contact %1").arg(i, 3, 10, QLatin1Char('0')));
        MDIMain *main = mainWindow(t, names);
        main->report->trigger();
        ReportWindow *window = main->ReportControl1->windows().value(0);
        QVERIFY(window);
        const int pages = window->document().pageCount();
        QVERIFY(pages >= 3);
        QCOMPARE(window->lblPage->text(), QStringLiteral("Page 1 of %1 (120 rows)").arg(pages));
        window->pageView->showPage(pages - 1);
        QCOMPARE(window->pageView->currentPage(), pages - 1);
        QCOMPARE(window->lblPage->text(), QStringLiteral("Page %1 of %1 (120 rows)").arg(pages));

        window->cmdPrint->click();
        QCOMPARE(t.printer().jobs().size(), 1);
        const CapturingPrinter::Job &job = t.printer().jobs().first();
        QCOMPARE(job.pages.size(), pages);
        QCOMPARE(job.layout.orientation(), QPageLayout::Landscape);
        QCOMPARE(job.title, QStringLiteral("Contacts"));
        QVERIFY(job.pages.first() != job.pages.last());
        QCOMPARE(window->lblStatus->text(), QStringLiteral("Sent to the printer."));

        t.printer().failNext(QStringLiteral("The printer is off line."));
        t.dialogs().answer(MsgBox::No);
        window->cmdPrint->click();
        const QList<Box> asked = t.dialogs().takeAsked();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].style, int(MsgBox::YesNoExclamation));
        QVERIFY(asked[0].prompt.contains(QStringLiteral("The report could not be printed: The printer is off line.")));
        QCOMPARE(t.printer().jobs().size(), 1);
        QCOMPARE(window->lblStatus->text(), QStringLiteral("Not printed."));
    }

    // --- every script: shaped, embedded, read back, kept to its column -----------

    void aSavedPdfHoldsEveryValueOfEveryScript()
    {
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
        const QString pdffonts = QStandardPaths::findExecutable(QStringLiteral("pdffonts"));
        if (pdftotext.isEmpty() || pdfinfo.isEmpty() || pdffonts.isEmpty())
            QSKIP("poppler-utils is not installed");
        TestProgram t;
        QStringList names;
        for (const QStringList &contact : SixScripts)
            names.append(contact[0]);
        for (int i = 0; i < 60; ++i)
            names.append(QStringLiteral("Filler %1").arg(i, 2, 10, QLatin1Char('0')));
        MDIMain *main = mainWindow(t, names);
        writeContacts(QDir(t.dataDirectory()).filePath(QStringLiteral("db2.mdb")), SixScripts);
        main->report->trigger();
        ReportWindow *window = main->ReportControl1->windows().value(0);
        QVERIFY(window);
        const int pages = window->document().pageCount();
        QVERIFY(pages >= 2);

        const QString pdf = QDir(t.dataDirectory()).filePath(QStringLiteral("report.pdf"));
        t.dialogs().saveAs(pdf);
        t.dialogs().answer(MsgBox::Ok);
        window->cmdSavePdf->click();
        const QList<Box> asked = t.dialogs().takeAsked();
        QCOMPARE(asked.size(), 2);
        QVERIFY(asked[0].title->endsWith(QStringLiteral("/Contacts.pdf")));
        QVERIFY2(asked[1].prompt.contains(QStringLiteral("was saved as")), qPrintable(asked[1].prompt));
        QCOMPARE(QFile::permissions(pdf) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions()); // the owner's only

        const QString info = run(pdfinfo, {pdf});
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages: +%1\\n").arg(pages))), qPrintable(info));
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Title: +Contacts\\n"))), qPrintable(info));
        // Every font the pages use travels with the file, as a subset that maps back to text.
        const QStringList fonts = run(pdffonts, {pdf}).split(u'\n', Qt::SkipEmptyParts).mid(2);
        QVERIFY2(fonts.size() >= 4, qPrintable(fonts.join(u'\n'))); // the report's own, and three fallbacks
        for (const QString &font : fonts)
            QVERIFY2(font.contains(QRegularExpression(QStringLiteral("\\+.* yes +yes +yes "))), qPrintable(font));

        const QString text = run(pdftotext, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(text.contains(QLocale().toString(QDate::currentDate(), QLocale::LongFormat)));
        QVERIFY(text.contains(QStringLiteral("Page 1 of %1").arg(pages)));
        QVERIFY(text.contains(QStringLiteral("Page %1 of %1").arg(pages)));
        // Names in report order: Filler 00 before Filler 59.
        QVERIFY(text.indexOf(QStringLiteral("Filler 00")) < text.indexOf(QStringLiteral("Filler 59")));

        // Each value read back from where it is drawn: every character as
        // stored, in logical order. (A whole line of a page mixes directions,
        // which the extraction orders left to right, so each cell is read
        // alone; and it puts a blank next to a number inside right-to-left
        // text on the number's other side, so blanks are not compared.)
        RecordingCanvas canvas;
        for (canvas.page = 0; canvas.page < pages; ++canvas.page)
            window->document().composePage(canvas.page, canvas);
        const QPointF margin = window->document().pageLayout().paintRect(QPageLayout::Point).topLeft();
        const ReportMetrics &metrics = window->document().report().layout.metrics;
        QStringList values;
        for (const QStringList &contact : SixScripts)
            values += contact;
        int found = 0;
        for (const RecordingCanvas::Drawn &drawn : std::as_const(canvas.lines)) {
            if (!values.contains(drawn.line.text))
                continue;
            const QRectF cell(margin.x() + drawn.box.left(), margin.y() + drawn.origin.y() - metrics.ascent * drawn.size,
                              drawn.box.width(), (metrics.ascent + metrics.descent) * drawn.size);
            const QRect crop = cell.toAlignedRect();
            QString read = run(pdftotext, {QStringLiteral("-f"), QString::number(drawn.page + 1), QStringLiteral("-l"),
                                           QString::number(drawn.page + 1), QStringLiteral("-x"),
                                           QString::number(crop.x()), QStringLiteral("-y"), QString::number(crop.y()),
                                           QStringLiteral("-W"), QString::number(crop.width()), QStringLiteral("-H"),
                                           QString::number(crop.height()), pdf, QStringLiteral("-")});
            const QRegularExpression marksAndBlanks(QStringLiteral("[\\x{202a}-\\x{202e}\\s]"));
            QCOMPARE(read.remove(marksAndBlanks), QString(drawn.line.text).remove(marksAndBlanks));
            if (!readsRightToLeft(drawn.line.text))
                QVERIFY2(text.contains(drawn.line.text), qPrintable(drawn.line.text));
            ++found;
        }
        QVERIFY(found >= values.size());
    }

    void noGlyphLeavesItsColumn()
    {
        ReportEngine engine;
        QTemporaryDir dir;
        QList<QStringList> contacts = SixScripts;
        // Long values that must wrap and be cut short, in every script.
        for (const QStringList &contact : SixScripts) {
            QStringList longer = contact;
            for (QString &value : longer)
                value = QStringList{value, value, value, value}.join(u' ');
            contacts.append(longer);
            QStringList unbroken = contact;
            for (QString &value : unbroken)
                value = value.remove(u' ').repeated(6);
            contacts.append(unbroken);
        }
        writeContacts(QDir(dir.path()).filePath(QStringLiteral("db2.mdb")), contacts);
        const QString path = writeFile(definitionPath(dir.path()), ReportDefinitionFile::defaultText());
        const ReportEngine::Produced produced = engine.produce(path, true);
        QVERIFY2(produced.report, qPrintable(produced.error));
        const ReportDocument document(produced.report);

        RecordingCanvas canvas;
        for (int page = 0; page < document.pageCount(); ++page)
            document.composePage(page, canvas);
        QVERIFY(canvas.lines.size() > 12 * 8);
        const FontFaces &faces = produced.report->fonts->faces();
        for (const RecordingCanvas::Drawn &drawn : std::as_const(canvas.lines)) {
            for (const ShapedRun &run : drawn.line.runs) {
                // Outlines at the size they are measured at: smaller, they are rounded to pixels.
                const QRawFont &raw = faces.face(run.face).raw;
                const qreal scale = drawn.size / raw.pixelSize();
                for (int i = run.first; i < run.first + run.count; ++i) {
                    const QRectF outline = raw.boundingRect(drawn.line.glyphs[size_t(i)]);
                    const QRectF ink = QRectF(outline.topLeft() * scale, outline.size() * scale)
                                           .translated(drawn.origin + drawn.line.positions[size_t(i)] * drawn.size);
                    if (ink.isEmpty())
                        continue;
                    QVERIFY2(ink.left() >= drawn.box.left() - 0.01 && ink.right() <= drawn.box.right() + 0.01,
                             qPrintable(QStringLiteral("%1: ink %2..%3 outside %4..%5")
                                            .arg(drawn.line.text)
                                            .arg(ink.left())
                                            .arg(ink.right())
                                            .arg(drawn.box.left())
                                            .arg(drawn.box.right())));
                }
            }
        }
    }

    void wordsAreShapedAsQtShapesThem_data()
    {
        QTest::addColumn<QString>("word");
        QTest::newRow("Arabic letters joined") << QStringLiteral("سلطان");
        QTest::newRow("lam and alef as one") << QStringLiteral("الأمير");
        QTest::newRow("Devanagari conjunct") << QStringLiteral("क्षेत्र");
        QTest::newRow("Latin with a combining mark") << QStringLiteral("Zoe\u0308");
    }

    void wordsAreShapedAsQtShapesThem()
    {
        QFETCH(QString, word);
        const ReportFonts fonts(dialogFont(8.25, false));
        ShapedLine shaped;
        fonts.regular().shape(word, false, readsRightToLeft(word), shaped);

        // The glyphs Qt's own layout draws for the word in the same font.
        QFont font = dialogFont(8.25, false);
        font.setPixelSize(int(FontFaces::ReferenceSize));
        font.setKerning(false);
        font.setHintingPreference(QFont::PreferNoHinting);
        QTextLayout layout(word, font);
        QTextOption option;
        option.setUseDesignMetrics(true);
        layout.setTextOption(option);
        layout.beginLayout();
        const QTextLine line = layout.createLine();
        layout.endLayout();
        QList<quint32> expected;
        for (const QGlyphRun &run : line.glyphRuns())
            expected += run.glyphIndexes();
        QList<quint32> glyphs(shaped.glyphs.begin(), shaped.glyphs.end());
        std::sort(expected.begin(), expected.end());
        std::sort(glyphs.begin(), glyphs.end());
        QCOMPARE(glyphs, expected);
        QVERIFY2(qAbs(shaped.advance * FontFaces::ReferenceSize - line.horizontalAdvance()) < 1,
                 qPrintable(QStringLiteral("%1 against %2").arg(shaped.advance * FontFaces::ReferenceSize)
                                .arg(line.horizontalAdvance())));
    }

    // Fonts of every kind, and a bold Qt makes from a regular face: embedded,
    // read back, and drawn in the file as on screen (wrong glyph numbers or
    // a lost bold show as ink in the wrong places).
    void reportsInAnyFontAreDrawnAsOnScreen_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("kind");
        QTest::newRow("CID-keyed CFF, in a collection") << QStringLiteral("Noto Sans CJK JP") << QStringLiteral("CID Type 0C");
        QTest::newRow("TrueType without a bold") << QStringLiteral("WenQuanYi Micro Hei") << QStringLiteral("CID TrueType");
    }

    void reportsInAnyFontAreDrawnAsOnScreen()
    {
        QFETCH(QString, family);
        QFETCH(QString, kind);
        const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
        const QString pdffonts = QStandardPaths::findExecutable(QStringLiteral("pdffonts"));
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (pdftoppm.isEmpty() || pdffonts.isEmpty() || pdftotext.isEmpty())
            QSKIP("poppler-utils is not installed");
        if (QFontInfo(QFont(family)).family() != family)
            QSKIP("the font is not installed");
        QTemporaryDir dir;
        const QStringList values = {QStringLiteral("山田太郎"), QStringLiteral("東京都港区芝公園4丁目2-8"),
                                    QStringLiteral("Zoë Ångström"), QStringLiteral("朝阳区建国路 88")};
        QList<QStringList> contacts;
        for (const QString &value : values)
            contacts.append(QStringList{value, value});
        writeContacts(QDir(dir.path()).filePath(QStringLiteral("db2.mdb")), contacts);
        // The first value is also a heading, in bold.
        const QString path = writeFile(definitionPath(dir.path()), R"({
            "title": "People",
            "source": { "database": "db2.mdb", "table": "Table1" },
            "columns": [ { "field": "Name", "heading": "山田太郎", "width": 80 },
                         { "field": "Address", "width": 80 } ]
        })");
        ReportEngine engine;
        engine.setFont(QFont(family));
        const ReportEngine::Produced produced = engine.produce(path, true);
        QVERIFY2(produced.report, qPrintable(produced.error));
        const ReportDocument document(produced.report);
        const QString pdf = QDir(dir.path()).filePath(QStringLiteral("report.pdf"));
        QVERIFY(ReportPdf::write(document, pdf));

        const QStringList fonts = run(pdffonts, {pdf}).split(u'\n', Qt::SkipEmptyParts).mid(2);
        QVERIFY(!fonts.isEmpty());
        for (const QString &font : fonts) {
            QVERIFY2(font.contains(QRegularExpression(QStringLiteral("^[A-Z]{6}\\+.*%1.* yes +yes +yes ").arg(kind))),
                     qPrintable(font));
        }
        const QString text = run(pdftotext, {pdf, QStringLiteral("-")});
        for (const QString &value : values)
            QVERIFY2(text.contains(value), qPrintable(value));

        // The page as the file draws it, and as the screen does, at 144 dots an inch.
        constexpr qreal Scale = 2;
        run(pdftoppm, {QStringLiteral("-r"), QStringLiteral("144"), QStringLiteral("-gray"), QStringLiteral("-singlefile"),
                       pdf, QDir(dir.path()).filePath(QStringLiteral("page"))});
        const QImage printed = QImage(QDir(dir.path()).filePath(QStringLiteral("page.pgm"))).convertToFormat(QImage::Format_Grayscale8);
        QVERIFY(!printed.isNull());
        QImage shown(printed.size(), QImage::Format_Grayscale8);
        shown.fill(Qt::white);
        const QRectF area = document.pageLayout().paintRect(QPageLayout::Point);
        {
            QPainter painter(&shown);
            document.paintPage(0, painter, QRectF(area.topLeft() * Scale, area.size() * Scale));
        }
        const auto dark = [](const QImage &image, int x, int y) {
            return x >= 0 && y >= 0 && x < image.width() && y < image.height() && qGray(image.pixel(x, y)) < 128;
        };
        // The share of one image's ink that the other has within a pixel.
        const auto matched = [&](const QImage &a, const QImage &b) {
            int ink = 0;
            int found = 0;
            for (int y = 0; y < a.height(); ++y) {
                for (int x = 0; x < a.width(); ++x) {
                    if (!dark(a, x, y))
                        continue;
                    ++ink;
                    bool near = false;
                    for (int dy = -1; dy <= 1 && !near; ++dy) {
                        for (int dx = -1; dx <= 1 && !near; ++dx)
                            near = dark(b, x + dx, y + dy);
                    }
                    found += near;
                }
            }
            return ink > 0 ? qreal(found) / ink : 0;
        };
        QVERIFY2(matched(printed, shown) > 0.95, qPrintable(QString::number(matched(printed, shown))));
        QVERIFY2(matched(shown, printed) > 0.95, qPrintable(QString::number(matched(shown, printed))));

        // The heading is bolder than the same text as a value.
        RecordingCanvas canvas;
        document.composePage(0, canvas);
        const ReportMetrics &metrics = produced.report->layout.metrics;
        QList<int> inks;
        for (const RecordingCanvas::Drawn &drawn : std::as_const(canvas.lines)) {
            if (drawn.line.text != values[0] || inks.size() == 2)
                continue;
            const QRectF box(drawn.box.left(), drawn.origin.y() - metrics.ascent * drawn.size, drawn.box.width(),
                             (metrics.ascent + metrics.descent) * drawn.size);
            const QRect pixels = QRectF((box.topLeft() + area.topLeft()) * Scale, box.size() * Scale).toAlignedRect();
            int ink = 0;
            for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
                for (int x = pixels.left(); x <= pixels.right(); ++x)
                    ink += 255 - qGray(printed.pixel(x, y));
            }
            inks.append(ink);
        }
        QCOMPARE(inks.size(), 2);
        QVERIFY2(inks[0] > inks[1] * 1.1, qPrintable(QStringLiteral("heading %1, value %2").arg(inks[0]).arg(inks[1])));
    }

    // A CID-keyed CFF font whose glyphs 1 and 2 are CIDs 7 and 3, its
    // charset in each of the three formats: afterwards glyph n is CID n.
    void cidsAreNumberedAsGlyphs_data()
    {
        QTest::addColumn<QByteArray>("charset");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("format 0") << QByteArray("\x00\x00\x07\x00\x03", 5) << QByteArray("\x00\x00\x01\x00\x02", 5);
        QTest::newRow("format 1") << QByteArray("\x01\x00\x07\x00\x00\x03\x00", 7)
                                  << QByteArray("\x02\x00\x01\x00\x01\x03\x00", 7);
        QTest::newRow("format 2") << QByteArray("\x02\x00\x07\x00\x00\x00\x03\x00\x00", 9)
                                  << QByteArray("\x02\x00\x01\x00\x01\x00\x03\x00\x00", 9);
    }

    void cidsAreNumberedAsGlyphs()
    {
        QFETCH(QByteArray, charset);
        QFETCH(QByteArray, expected);
        const auto offset = [](int value) {
            return QByteArray("\x1d", 1) + QByteArray::fromHex(QByteArray::number(value, 16).rightJustified(8, '0'));
        };
        constexpr int CharsetAt = 36;
        // Registry, ordering, supplement; charset; CharStrings.
        const QByteArray dict = QByteArray("\x8b\x8b\x8b\x0c\x1e", 5) + offset(CharsetAt) + '\x0f'
                              + offset(CharsetAt + int(charset.size())) + '\x11';
        QByteArray cff = QByteArray("\x01\x00\x04\x01", 4) + QByteArray("\x00\x01\x01\x01\x02" "A", 6)
                       + QByteArray("\x00\x01\x01\x01", 4) + char(1 + dict.size()) + dict
                       + QByteArray("\x00\x00\x00\x00", 4) + charset
                       + QByteArray("\x00\x03\x01\x01\x02\x03\x04\x0e\x0e\x0e", 10);
        QCOMPARE(cff.indexOf(charset), CharsetAt);
        QByteArray font = QByteArray("OTTO\x00\x01\x00\x10\x00\x00\x00\x00" "CFF \x00\x00\x00\x00\x00\x00\x00\x1c", 24)
                        + QByteArray(1, char(cff.size())).prepend(QByteArray(3, '\0')) + cff;
        QVERIFY(FontSubset::numberCidsAsGlyphs(font));
        QCOMPARE(font.mid(28 + CharsetAt, expected.size()), expected);
    }

    void rightToLeftValuesAreRightAligned_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("rightToLeft");
        QTest::newRow("Arabic") << QStringLiteral("شارع الملك فهد 12") << true;
        QTest::newRow("Hebrew") << QStringLiteral("רחוב הרצל 5") << true;
        QTest::newRow("Latin") << QStringLiteral("5 Harbour Street") << false;
        QTest::newRow("Latin first, then Arabic") << QStringLiteral("Flat 3 شارع") << false;
        QTest::newRow("Arabic, its last line a number") << QStringLiteral("شارع الملك فهد\n12345") << true;
    }

    void rightToLeftValuesAreRightAligned()
    {
        QFETCH(QString, value);
        QFETCH(bool, rightToLeft);
        QTemporaryDir dir;
        writeContacts(QDir(dir.path()).filePath(QStringLiteral("db2.mdb")), {QStringList(ContactFieldCount, value)});
        ReportEngine engine;
        const ReportEngine::Produced produced =
            engine.produce(writeFile(definitionPath(dir.path()), ReportDefinitionFile::defaultText()), true);
        QVERIFY2(produced.report, qPrintable(produced.error));
        RecordingCanvas canvas;
        ReportDocument(produced.report).composePage(0, canvas);
        // Every line of the address, which has room for three.
        const ReportColumnPlace &address = produced.report->layout.columns[1];
        QList<RecordingCanvas::Drawn> lines;
        for (const RecordingCanvas::Drawn &drawn : std::as_const(canvas.lines)) {
            if (drawn.box.left() == address.x && drawn.box.top() >= produced.report->layout.bodyTop())
                lines.append(drawn);
        }
        QCOMPARE(lines.size(), value.count(u'\n') + 1);
        for (const RecordingCanvas::Drawn &drawn : std::as_const(lines)) {
            QCOMPARE(drawn.line.rightToLeft, rightToLeft);
            const qreal right = drawn.origin.x() + drawn.line.right() * drawn.size;
            const qreal left = drawn.origin.x() + drawn.line.left() * drawn.size;
            if (rightToLeft)
                QVERIFY2(qAbs(right - drawn.box.right()) < 0.01, qPrintable(QString::number(right - drawn.box.right())));
            else
                QVERIFY2(qAbs(left - drawn.box.left()) < 0.01, qPrintable(QString::number(left - drawn.box.left())));
        }
        // Words of a right-to-left value run from right to left: its first word is drawn rightmost.
        if (rightToLeft && lines.size() == 1) {
            const qreal firstWordX = lines[0].line.positions.front().x();
            const qreal lastX = lines[0].line.positions.back().x();
            QVERIFY(firstWordX < lastX); // glyphs are kept left to right
            QVERIFY(firstWordX >= 0);
        }
    }

    void cancellingLeavesNothingBehind_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("save as a new file") << QStringLiteral("save");
        QTest::newRow("save over an older file, kept as it was") << QStringLiteral("save over");
        QTest::newRow("print") << QStringLiteral("print");
        QTest::newRow("produce the report") << QStringLiteral("produce");
    }

    void cancellingLeavesNothingBehind()
    {
        QFETCH(QString, what);
        TestProgram t;
        QStringList names;
        for (int i = 0; i < 400; ++i)
            names.append(QStringLiteral("Contact %1").arg(i));
        MDIMain *main = mainWindow(t, names);
        const QString pdf = QDir(t.dataDirectory()).filePath(QStringLiteral("report.pdf"));
        const bool older = what == QLatin1String("save over");
        if (older)
            writeFile(pdf, "older");

        // The user presses Cancel as soon as the progress shows.
        QTimer cancel;
        connect(&cancel, &QTimer::timeout, [&] {
            const auto boxes = QApplication::topLevelWidgets();
            for (QWidget *box : boxes) {
                if (auto *progress = qobject_cast<QProgressDialog *>(box); progress && progress->isVisible())
                    QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
            }
        });
        cancel.start(0);
        if (what == QLatin1String("produce")) {
            main->ReportControl1->progressDelayMs = 0;
            main->report->trigger();
            QVERIFY(main->ReportControl1->windows().isEmpty());
            QVERIFY(t.dialogs().asked().isEmpty());
            cancel.stop();
            main->ReportControl1->progressDelayMs = 500;
            main->report->trigger(); // and the next time it works
            QCOMPARE(main->ReportControl1->windows().size(), 1);
            return;
        }

        cancel.stop();
        main->report->trigger();
        ReportWindow *window = main->ReportControl1->windows().value(0);
        QVERIFY(window && window->document().pageCount() > 3);
        window->progressDelayMs = 0;
        cancel.start(0);
        if (what == QLatin1String("print")) {
            window->cmdPrint->click();
            cancel.stop();
            QCOMPARE(t.printer().jobs().size(), 0);
            QCOMPARE(window->lblStatus->text(), QStringLiteral("Printing cancelled."));
            QVERIFY(t.dialogs().asked().isEmpty());
            window->cmdPrint->click();
            QCOMPARE(t.printer().jobs().size(), 1);
            return;
        }
        t.dialogs().saveAs(pdf);
        window->cmdSavePdf->click();
        cancel.stop();

        QCOMPARE(t.dialogs().takeAsked().size(), 1); // where to save; nothing told after
        QCOMPARE(QDir(t.dataDirectory()).entryList({QStringLiteral("report.pdf*")}, QDir::Files).size(), older ? 1 : 0);
        if (older)
            QCOMPARE(readFile(pdf), QByteArray("older"));
        // The window goes on working: the next save is whole.
        t.dialogs().saveAs(pdf);
        t.dialogs().answer(MsgBox::Ok);
        window->cmdSavePdf->click();
        QVERIFY(readFile(pdf).startsWith("%PDF-"));
        QVERIFY(window->isVisible());
    }

    void rowsReadBackAsAppended()
    {
        // Values of every kind, past the size that goes to the file at once.
        const QStringList values = {QString(), QStringLiteral("a"), QStringLiteral("Straße 😀 ✓"),
                                    QString(100000, u'x'), QStringLiteral("山田\n太郎"), QString(3, QChar(0))};
        ReportRows rows(2);
        const int count = 60;
        for (int i = 0; i < count; ++i) {
            rows.append(values[i % values.size()]);
            rows.append(QString::number(i));
        }
        QCOMPARE(rows.rowCount(), count);
        std::vector<quint32> order;
        for (int i = count - 1; i >= 0; --i)
            order.push_back(quint32(i));
        rows.setOrder(order);
        std::vector<QString> cells;
        for (int row = 0; row < count; ++row) {
            rows.read(row, cells);
            const int stored = count - 1 - row;
            QCOMPARE(cells[0], values[stored % values.size()]);
            QCOMPARE(cells[1], QString::number(stored));
        }
        // And in the order they were appended, each with its place in the report.
        int next = 5;
        rows.readAppended(5, count, cells, [&](qsizetype row) {
            QCOMPARE(row, count - 1 - next);
            QCOMPARE(cells[0], values[next % values.size()]);
            QCOMPARE(cells[1], QString::number(next));
            ++next;
        });
        QCOMPARE(next, count);
        QVERIFY(rows.error().isEmpty());
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"
