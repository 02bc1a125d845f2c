#include "ReportDefinition.h"

#include "files/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

constexpr int MostLines = 6;

// Reads one JSON object, checking its keys and the types of their values;
// the first problem found is kept, in words naming where it is.
class ObjectReader
{
public:
    ObjectReader(const QJsonObject &object, QString where, QString &problem)
        : m_object(object)
        , m_where(std::move(where))
        , m_problem(problem)
    {
    }

    bool onlyKeys(const QStringList &allowed)
    {
        for (auto it = m_object.begin(); it != m_object.end(); ++it) {
            if (!allowed.contains(it.key()))
                return fail(ReportDefinitionFile::tr("%1 has an unknown key \"%2\"").arg(m_where, it.key()));
        }
        return true;
    }

    bool has(const QString &key) const { return m_object.contains(key); }

    std::optional<QString> text(const QString &key, bool required)
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined()) {
            if (required)
                fail(ReportDefinitionFile::tr("%1 has no \"%2\"").arg(m_where, key));
            return std::nullopt;
        }
        if (!value.isString() || value.toString().trimmed().isEmpty()) {
            fail(ReportDefinitionFile::tr("\"%2\" of %1 must be a non-empty text").arg(m_where, key));
            return std::nullopt;
        }
        return value.toString();
    }

    std::optional<double> number(const QString &key, double lowest, double highest)
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined())
            return std::nullopt;
        if (!value.isDouble() || value.toDouble() < lowest || value.toDouble() > highest) {
            fail(ReportDefinitionFile::tr("\"%2\" of %1 must be a number from %3 to %4")
                     .arg(m_where, key)
                     .arg(lowest)
                     .arg(highest));
            return std::nullopt;
        }
        return value.toDouble();
    }

    std::optional<bool> boolean(const QString &key)
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined())
            return std::nullopt;
        if (!value.isBool()) {
            fail(ReportDefinitionFile::tr("\"%2\" of %1 must be true or false").arg(m_where, key));
            return std::nullopt;
        }
        return value.toBool();
    }

    std::optional<QJsonObject> object(const QString &key, bool required)
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined()) {
            if (required)
                fail(ReportDefinitionFile::tr("%1 has no \"%2\"").arg(m_where, key));
            return std::nullopt;
        }
        if (!value.isObject()) {
            fail(ReportDefinitionFile::tr("\"%2\" of %1 must be an object { ... }").arg(m_where, key));
            return std::nullopt;
        }
        return value.toObject();
    }

    bool failed() const { return !m_problem.isEmpty(); }

    bool fail(const QString &problem)
    {
        if (m_problem.isEmpty())
            m_problem = problem;
        return false;
    }

private:
    QJsonObject m_object;
    QString m_where;
    QString &m_problem;
};

std::optional<ReportColumn> readColumn(const QJsonValue &value, int number, QString &problem)
{
    const QString where = ReportDefinitionFile::tr("column %1").arg(number);
    if (!value.isObject()) {
        problem = ReportDefinitionFile::tr("%1 must be an object { ... }").arg(where);
        return std::nullopt;
    }
    ObjectReader reader(value.toObject(), where, problem);
    reader.onlyKeys({QStringLiteral("field"), QStringLiteral("heading"), QStringLiteral("width"),
                     QStringLiteral("lines")});
    ReportColumn column;
    column.field = reader.text(QStringLiteral("field"), true).value_or(QString());
    column.heading = reader.text(QStringLiteral("heading"), false).value_or(column.field);
    column.widthMm = reader.number(QStringLiteral("width"), 5, 1000).value_or(column.widthMm);
    const double lines = reader.number(QStringLiteral("lines"), 1, MostLines).value_or(1);
    if (!reader.failed() && lines != std::floor(lines))
        reader.fail(ReportDefinitionFile::tr("\"lines\" of %1 must be a whole number").arg(where));
    column.maxLines = int(lines);
    if (reader.failed())
        return std::nullopt;
    return column;
}

std::optional<QPageSize> pageSizeNamed(const QString &name)
{
    static const std::pair<const char *, QPageSize::PageSizeId> known[] = {
        {"A3", QPageSize::A3}, {"A4", QPageSize::A4}, {"A5", QPageSize::A5},
        {"Letter", QPageSize::Letter}, {"Legal", QPageSize::Legal},
    };
    for (const auto &[knownName, id] : known) {
        if (name.compare(QLatin1String(knownName), Qt::CaseInsensitive) == 0)
            return QPageSize(id);
    }
    return std::nullopt;
}

} // namespace

QStringList ReportDefinition::fields() const
{
    QStringList names;
    for (const ReportColumn &column : columns)
        names.append(column.field);
    return names;
}

bool ReportDefinition::readsSameRowsAs(const ReportDefinition &other) const
{
    return databasePath == other.databasePath && table == other.table && fields() == other.fields()
        && sortField == other.sortField && sortCaseSensitive == other.sortCaseSensitive;
}

ReportDefinitionFile::Loaded ReportDefinitionFile::read(const QString &path)
{
    const QString shown = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    QFile file(path);
    if (!file.exists())
        return {std::nullopt, tr("The report definition %1 does not exist.").arg(shown)};
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, tr("The report definition %1 cannot be read: %2.").arg(shown, file.errorString())};
    return parse(file.readAll(), path);
}

ReportDefinitionFile::Loaded ReportDefinitionFile::parse(const QByteArray &text, const QString &path)
{
    const QFileInfo file(path);
    const QString shown = QDir::toNativeSeparators(file.absoluteFilePath());

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return {std::nullopt, tr("The report definition %1 is not valid JSON: %2 (at character %3).")
                                  .arg(shown, parseError.errorString())
                                  .arg(parseError.offset)};
    }
    if (!document.isObject()) {
        return {std::nullopt,
                tr("The report definition %1 is not valid: it must be one object { ... }.").arg(shown)};
    }

    QString problem;
    ReportDefinition definition;
    definition.path = file.absoluteFilePath();
    ObjectReader top(document.object(), tr("the definition"), problem);
    top.onlyKeys({QStringLiteral("title"), QStringLiteral("source"), QStringLiteral("columns"),
                  QStringLiteral("sort"), QStringLiteral("page")});
    definition.title = top.text(QStringLiteral("title"), false).value_or(file.completeBaseName());

    if (const auto source = top.object(QStringLiteral("source"), true)) {
        ObjectReader reader(*source, tr("\"source\""), problem);
        reader.onlyKeys({QStringLiteral("database"), QStringLiteral("table")});
        const QString database = reader.text(QStringLiteral("database"), true).value_or(QString());
        // A name without a folder is the file beside the definition.
        if (!database.isEmpty())
            definition.databasePath = QDir::cleanPath(file.absoluteDir().absoluteFilePath(database));
        definition.table = reader.text(QStringLiteral("table"), true).value_or(QString());
    }

    const QJsonValue columns = document.object().value(QStringLiteral("columns"));
    if (!top.failed() && (!columns.isArray() || columns.toArray().isEmpty()))
        top.fail(tr("\"columns\" must be a list [ ... ] of at least one column"));
    if (!top.failed()) {
        const QJsonArray list = columns.toArray();
        for (qsizetype i = 0; i < list.size() && problem.isEmpty(); ++i) {
            if (auto column = readColumn(list.at(i), int(i + 1), problem))
                definition.columns.append(*column);
        }
    }

    if (const auto sort = top.object(QStringLiteral("sort"), false)) {
        ObjectReader reader(*sort, tr("\"sort\""), problem);
        reader.onlyKeys({QStringLiteral("field"), QStringLiteral("caseSensitive")});
        definition.sortField = reader.text(QStringLiteral("field"), true).value_or(QString());
        definition.sortCaseSensitive = reader.boolean(QStringLiteral("caseSensitive")).value_or(false);
    }

    if (const auto page = top.object(QStringLiteral("page"), false)) {
        ObjectReader reader(*page, tr("\"page\""), problem);
        reader.onlyKeys({QStringLiteral("size"), QStringLiteral("orientation")});
        if (const auto size = reader.text(QStringLiteral("size"), false)) {
            if (const auto known = pageSizeNamed(*size))
                definition.pageSize = *known;
            else
                reader.fail(tr("\"size\" of \"page\" must be A3, A4, A5, Letter or Legal, not \"%1\"").arg(*size));
        }
        if (const auto orientation = reader.text(QStringLiteral("orientation"), false)) {
            if (orientation->compare(QLatin1String("portrait"), Qt::CaseInsensitive) == 0)
                definition.orientation = QPageLayout::Portrait;
            else if (orientation->compare(QLatin1String("landscape"), Qt::CaseInsensitive) == 0)
                definition.orientation = QPageLayout::Landscape;
            else
                reader.fail(tr("\"orientation\" of \"page\" must be \"portrait\" or \"landscape\", not \"%1\"")
                                .arg(*orientation));
        }
    }

    if (!problem.isEmpty())
        return {std::nullopt, tr("The report definition %1 is not valid: %2.").arg(shown, problem)};
    return {definition, QString()};
}

QByteArray ReportDefinitionFile::defaultText()
{
    // The resource lives in a static library: register it before first use.
    static const bool registered = [] {
        Q_INIT_RESOURCE(printing);
        return true;
    }();
    Q_UNUSED(registered);
    QFile file(QStringLiteral(":/merivo/printing/default-report.json"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ReportDefinitionFile::Outcome ReportDefinitionFile::writeDefaultIfMissing(const QString &path, QString *error)
{
    const QFileInfo target(path);
    if (target.exists())
        return Outcome::AlreadyThere;
    if (!makePrivateFolder(target.absolutePath())) {
        if (error)
            *error = tr("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(target.absolutePath()));
        return Outcome::Failed;
    }
    // Created exclusively: a file that appears meanwhile is never replaced.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        if (QFileInfo::exists(path))
            return Outcome::AlreadyThere;
        if (error)
            *error = tr("The report definition %1 cannot be written: %2.")
                         .arg(QDir::toNativeSeparators(path), file.errorString());
        return Outcome::Failed;
    }
    const QByteArray text = defaultText();
    if (file.write(text) != text.size() || !file.flush()) {
        if (error)
            *error = tr("The report definition %1 cannot be written: %2.")
                         .arg(QDir::toNativeSeparators(path), file.errorString());
        file.close();
        file.remove(); // a half-written definition would only be refused later
        return Outcome::Failed;
    }
    return Outcome::Created;
}
