#include "RecordFormFixture.h"

#include "contacts/Recordset.h"
#include "recordform/DataControl.h"
#include "recordform/RecordForm.h"

#include <QDir>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace RecordFormFixture {

QString databasePath(const TestProgram &t)
{
    return QDir(t.dataDirectory()).filePath(QStringLiteral("db2.mdb"));
}

void seed(const TestProgram &t, const QList<ContactValues> &contacts)
{
    Recordset records;
    QVERIFY2(records.open(databasePath(t)), qPrintable(records.lastError()));
    for (const ContactValues &values : contacts) {
        QVERIFY(records.AddNew());
        for (int i = 0; i < ContactFieldCount; ++i)
            records.setValue(static_cast<ContactField>(i), values[i]);
        QVERIFY2(records.Update(), qPrintable(records.lastError()));
    }
}

void seed(const TestProgram &t, const QStringList &names)
{
    QList<ContactValues> contacts;
    for (const QString &name : names) {
        ContactValues values;
        values[0] = name;
        for (int i = 1; i < ContactFieldCount; ++i)
            values[i] = QStringLiteral("%1/%2").arg(name).arg(i);
        contacts.append(values);
    }
    seed(t, contacts);
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

void startWork(TestProgram &t, RecordForm *form)
{
    t.dialogs().answer(MsgBox::Yes);
    const bool adds = form->objectName() == QLatin1String("frmadd");
    form->findChild<QPushButton *>(adds ? QStringLiteral("cmdAdd") : QStringLiteral("cmdEdit"))->click();
    t.dialogs().takeAsked();
}

} // namespace RecordFormFixture
