#pragma once

// Helpers of the import, export and backup tests: contacts written and read
// straight through SQLite, and the outside programs used as peers.

#include "contacts/ContactBatch.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <sqlite3.h>

using ContactList = QList<ContactValues>;

inline ContactValues contact(const QStringList &fields)
{
    ContactValues values;
    for (int i = 0; i < ContactFieldCount && i < fields.size(); ++i)
        values[i] = fields.at(i);
    return values;
}

// Contacts with every character that files find awkward: separators and
// quotes of both formats, backslashes, line breaks, tabs, blanks at the
// ends, letters of several alphabets, signs outside the basic plane, and a
// value long enough to be folded.
inline ContactList awkwardContacts()
{
    return {
        contact({QStringLiteral("Zoë Ångström, Jr."), QStringLiteral("1 Rue de l'Église\nParis"),
                 QStringLiteral("+33 (0)1 23,45;67"), QStringLiteral("Chef, \"Head\"; of R&D"),
                 QStringLiteral("Büro: Straße 5\\6"), QStringLiteral("  +49 30 123  "), QStringLiteral("zoe@例え.jp"),
                 QStringLiteral("https://example.org/a,b;c?d=e&f=\\g")}),
        contact({QStringLiteral("李小龙 🐉"), QStringLiteral("tab\there"), QStringLiteral("=1+2"), QStringLiteral("@home"),
                 QStringLiteral("line1\nline2\n\nline4"), QStringLiteral("\\n is not a line break\\"),
                 QStringLiteral("quote\"d"), QString()}),
        contact({QString(40, QChar(0x00E9)) + QStringLiteral(" Ωmega ") + QString(30, QChar(0x4E2D)),
                 QStringLiteral("END:VCARD"), QStringLiteral("BEGIN:VCARD"), QStringLiteral(":;,\\"),
                 QString(120, QLatin1Char('x')), QStringLiteral(" "), QStringLiteral("a@b"), QStringLiteral("c:d")}),
        contact({QStringLiteral("Ann")}),
        contact({QStringLiteral("O'Brien"), QStringLiteral("\"\""), QStringLiteral(","), QStringLiteral(";")}),
    };
}

// The fields of a contact joined by "|", to compare in one line.
inline QString joinedFields(const ContactValues &values)
{
    return QStringList(values.begin(), values.end()).join(QLatin1Char('|'));
}

inline ContactTexts utf8(const ContactValues &values)
{
    ContactTexts texts;
    for (int i = 0; i < ContactFieldCount; ++i)
        texts[i] = values[i].toUtf8();
    return texts;
}

// Adds the contacts through one batch; duplicates are stored too only when
// they differ somewhere.
inline bool storeContacts(const QString &path, const ContactList &contacts)
{
    ContactBatch batch;
    if (!batch.begin(path))
        return false;
    for (const ContactValues &values : contacts) {
        if (batch.add(utf8(values)) == ContactBatch::Outcome::Failed)
            return false;
    }
    return batch.commit();
}

// Every row of Table1 in view order, exactly as stored.
inline ContactList storedContacts(const QString &path)
{
    ContactList rows;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *statement = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT \"Name\", \"Address\", \"Phone Number\", \"Position\", \"Office address\", "
                           "\"Office Phone Number\", \"Email Address\", \"Website Address\" FROM Table1 ORDER BY rowid",
                           -1, &statement, nullptr);
        while (statement && sqlite3_step(statement) == SQLITE_ROW) {
            ContactValues values;
            for (int i = 0; i < ContactFieldCount; ++i) {
                values[i] = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, i)),
                                              sqlite3_column_bytes(statement, i));
            }
            rows.append(values);
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close_v2(db);
    return rows;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Debian's python3 with python3-vobject; the python3 first on the PATH may
// be another one.
inline QString pythonWithVobject()
{
    QStringList candidates{QStringLiteral("/usr/bin/python3")};
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (!onPath.isEmpty())
        candidates.append(onPath);
    for (const QString &python : candidates) {
        QProcess probe;
        probe.start(python, {QStringLiteral("-c"), QStringLiteral("import vobject")});
        if (probe.waitForFinished(30000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0)
            return python;
    }
    return QString();
}
