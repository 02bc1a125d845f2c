#pragma once

#include <QByteArrayView>
#include <QCoreApplication>
#include <QHash>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// The vCard properties or CSV columns whose values an import did not keep,
// with how many values of each, in the order they were first met.
class NotKept
{
public:
    void add(QByteArrayView name, qint64 count = 1);
    const std::vector<std::pair<QString, qint64>> &entries() const { return m_entries; }
    bool isEmpty() const { return m_entries.empty(); }

private:
    QHash<QByteArray, qsizetype> m_index;
    std::vector<std::pair<QString, qint64>> m_entries;
};

// What an import did, for the user.
struct ImportReport
{
    Q_DECLARE_TR_FUNCTIONS(ImportReport)

public:
    QString format; // what the file was read as
    qint64 added = 0;
    qint64 duplicates = 0;  // equal in all eight fields to a contact already stored
    qint64 withoutName = 0; // nothing in the card or row could serve as the name
    qint64 converted = 0;   // values that were not UTF-8 (see Utf8Text::repaired)
    bool restoreHint = false; // the file is a contact database, which restore would put in place instead
    NotKept notKept;

    QStringList lines(const QString &file, const QString &database) const;
};
