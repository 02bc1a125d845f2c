#pragma once

#include <QString>

struct sqlite3;

// The side tables and triggers that let merivo-tool sync the contacts with
// servers and bring deleted contacts back, whatever program changed Table1:
// the record forms, merivo-tool import, or the sqlite3 shell. Plain SQL only,
// so that every SQLite tool can still write the file.
//
//   merivo_sync_contact         one row per contact that sync knows, by its own
//                               id: the Table1 row it lives in (NULL once
//                               deleted), and a copy of the eight values that
//                               the triggers keep equal to that row
//   merivo_sync_item            one per contact and account: the card's
//                               address on the server, its ETag, the card as
//                               last received or sent, a changed card not
//                               sent yet, and the eight values both sides
//                               agreed on at the last sync (contact 0: a card
//                               that holds no contact, passed over)
//   merivo_sync_collection      per account: the server's sync token
//   merivo_deleted              every deleted contact for 30 days: its eight
//                               values as stored, when, and its card
//   merivo_sync_after_update    copies a changed row into its contact
//   merivo_deleted_after_delete keeps the deleted row, marks its contact
//                               deleted, and forgets deletions older than 30
//                               days
//
// Row ids are not identities: a dump and reload in the shell or a VACUUM may
// renumber Table1 without firing a trigger. The copy of the values tells a
// renumbered row (its contact's copy no longer matches the row of that id)
// from an edited one (the trigger updated the copy); SyncState re-pairs them.
// New rows need no trigger: a row that no contact names is new.
//
// Tables are made when missing and kept: they hold data. Triggers and
// indexes that are missing or differ are made anew.
namespace SyncSchema {

constexpr int KeptDays = 30;

// Creates what is missing; an SQLite result code. Best effort for callers
// that only browse: another program holding the file delays it to the next
// opening.
int ensure(sqlite3 *db);

// The eight columns of Table1, quoted, each with prefix (for "old."...).
QString fieldList(const QString &prefix = QString());

} // namespace SyncSchema
