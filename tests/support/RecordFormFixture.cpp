#include "RecordFormFixture.h"

#include "contacts/DataControl.h"
#include "contacts/Recordset.h"

#include <QDir>
#include <QTest>
#include <QToolButton>

namespace RecordFormFixture {

QString databasePath(const TestProgram &t)
{
    return QDir(t.dataDirectory()).filePath(QStringLiteral("db2.mdb"));
}

void seed(const TestProgram &t, const QStringList &names)
{
    Recordset records;
    QVERIFY2(records.open(databasePath(t)), qPrintable(records.lastError()));
    for (const QString &name : names) {
        QVERIFY(records.AddNew());
        records.setValue(ContactField::Name, name);
        for (int i = 1; i < ContactFieldCount; ++i)
            records.setValue(static_cast<ContactField>(i), QStringLiteral("%1/%2").arg(name).arg(i));
        QVERIFY2(records.Update(), qPrintable(records.lastError()));
    }
}

QList<ContactValues> stored(const TestProgram &t)
{
    QList<ContactValues> all;
    Recordset records;
    if (!records.open(databasePath(t)))
        return all;
    for (bool on = records.hasCurrentRecord(); on && records.hasCurrentRecord(); on = records.MoveNext())
        all.append(records.currentValues());
    return all;
}

QStringList storedNames(const TestProgram &t)
{
    QStringList names;
    for (const ContactValues &values : stored(t))
        names.append(values[0]);
    return names;
}

void clickArrow(const DataControl *data, const char *name)
{
    auto *arrow = data->findChild<QToolButton *>(QLatin1String(name));
    QVERIFY2(arrow, name);
    arrow->click();
}

} // namespace RecordFormFixture
