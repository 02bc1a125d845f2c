#pragma once

#include "TestProgram.h"
#include "contacts/ContactRecord.h"

#include <QStringList>

class DataControl;
class RecordForm;

// Contacts written straight into a test program's database, and read back
// from the file, for the record form tests.
namespace RecordFormFixture {

QString databasePath(const TestProgram &t);
// Stores one contact per name; the other fields are "<name>/<field number>".
void seed(const TestProgram &t, const QStringList &names);
void seed(const TestProgram &t, const QList<ContactValues> &contacts);
// Seeds the names, then shows the form.
template<typename T = RecordForm>
T *showWith(TestProgram &t, const QString &form, const QStringList &names)
{
    seed(t, names);
    return t.show<T>(form);
}
// Every stored contact in view order, read through a store of its own.
QList<ContactValues> stored(const TestProgram &t);
QStringList storedNames(const TestProgram &t);
// Clicks an arrow of a form's navigation bar by its name: "moveFirst",
// "movePrevious", "moveNext" or "moveLast".
void clickArrow(const DataControl *data, const char *name);
// Starts the work of a form: Add on the Add & Delete form, Edit on the Find &
// Edit form, each question answered Yes.
void startWork(TestProgram &t, RecordForm *form);

} // namespace RecordFormFixture
