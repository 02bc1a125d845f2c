#pragma once

// The work of the crash writer, worked out alike by the writer and by the
// test that checks what a killed writer left behind: step n of a run
// depends only on the run's seed, n, and the contacts stored before it.

#include "contacts/StoredValue.h"

#include <QtGlobal>

#include <map>

namespace CrashWorkload {

using Contacts = std::map<qint64, StoredRecord>; // by row id, exactly as stored

enum class Kind : char { Insert = 'i', Update = 'u', Remove = 'r' };

struct Operation
{
    Kind kind = Kind::Insert;
    qint64 id = 0;          // the row changed or removed; for an insert, given by the store
    ContactChanges changes; // an insert sets every field, an update some
};

Operation operation(quint64 seed, int step, const Contacts &before);
void apply(const Operation &operation, qint64 id, Contacts &contacts);
ContactValues insertedValues(const Operation &operation);

} // namespace CrashWorkload
