#pragma once

#include "contacts/ContactDatabase.h"
#include "contacts/SqliteStatement.h"
#include "tool/ContactFields.h"

#include <QCoreApplication>
#include <QString>

// Every contact of a contact database in view order, each as the bytes its
// eight fields hold, read through a read-only connection: reading never
// creates or changes the file. Whatever another program stored is handed
// out as it is (text that is not UTF-8, a BLOB's bytes, a number as text;
// NULL as empty).
class ContactRows
{
    Q_DECLARE_TR_FUNCTIONS(ContactRows)

public:
    bool open(const QString &path);
    // The next contact; false at the end, or on a failure (lastError() is
    // then set). The views stay valid until the next call.
    bool next();
    const ContactFieldViews &fields() const { return m_fields; }
    qint64 rowId() const { return m_rowId; }
    QString lastError() const { return m_lastError; }

private:
    ContactDatabase m_database;
    SqliteStatement m_rows;
    ContactFieldViews m_fields;
    qint64 m_rowId = 0;
    QString m_lastError;
};
