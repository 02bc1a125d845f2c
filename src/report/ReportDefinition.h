#pragma once

#include <QCoreApplication>
#include <QList>
#include <QPageLayout>
#include <QPageSize>
#include <QString>

#include <optional>

// One column of a report: a field of the table, its heading, its width on
// paper and how many lines a value may take before it is cut short.
struct ReportColumn
{
    QString field;
    QString heading;
    qreal widthMm = 30;
    int maxLines = 1;

    friend bool operator==(const ReportColumn &, const ReportColumn &) = default;
};

// What a report definition file says: the title, where the rows come from,
// the columns, the order of the rows and the paper.
struct ReportDefinition
{
    QString path;         // the definition file, absolute
    QString title;
    QString databasePath; // absolute; a relative name in the file is taken beside it
    QString table;
    QList<ReportColumn> columns;
    QString sortField;    // empty: the table's own order
    bool sortCaseSensitive = false;
    QPageSize pageSize = QPageSize(QPageSize::A4);
    QPageLayout::Orientation orientation = QPageLayout::Portrait;

    QStringList fields() const;
    // True when both read the same rows in the same order.
    bool readsSameRowsAs(const ReportDefinition &other) const;
};

// The report definition file: JSON, read and checked in full before a report
// is made, so that every mistake is told with the file's name.
//
//   {
//     "title": "Contacts",
//     "source": { "database": "db2.mdb", "table": "Table1" },
//     "columns": [ { "field": "Name", "heading": "Name", "width": 40, "lines": 1 }, ... ],
//     "sort": { "field": "Name", "caseSensitive": false },
//     "page": { "size": "A4", "orientation": "landscape" }
//   }
//
// Widths are in millimetres; "lines" is 1 to 6. Only "source" and "columns"
// are required. Unknown keys are refused, since a misspelt key would
// otherwise be silently ignored.
class ReportDefinitionFile
{
    Q_DECLARE_TR_FUNCTIONS(ReportDefinitionFile)

public:
    static inline const QString FileName = QStringLiteral("plimo.rpt");

    struct Loaded
    {
        std::optional<ReportDefinition> definition;
        QString error; // names the file and what is wrong with it
    };

    static Loaded read(const QString &path);
    // `path` names the file in messages and anchors a relative database name.
    static Loaded parse(const QByteArray &text, const QString &path);

    // The definition the program starts with: every contact field, by name.
    static QByteArray defaultText();

    enum class Outcome { Created, AlreadyThere, Failed };
    // Writes the default definition only where no file is; an existing one,
    // edited or not, is never touched.
    static Outcome writeDefaultIfMissing(const QString &path, QString *error = nullptr);
};
