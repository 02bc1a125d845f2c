#pragma once

#include "contacts/ContactDatabase.h"
#include "contacts/ContactRecord.h"
#include "contacts/ContactStore.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>


// A record's bookmark is its row id; no bookmark when there is no record.
using RecordBookmark = std::optional<qint64>;

// The record view of one store over Table1, in view order (the table's own
// order: row id order, which is insertion order), with one current record.
// It keeps its place by the current row id and reads one row per move, so a
// million contacts cost what ten do. Every call reads the file afresh: what
// another store saved shows at the next move.
//
// Writes happen only on Update(): the texts of a pending new record
// (AddNew) or of the record opened by Edit are taken from the edit buffer
// at that moment (aboutToSave() lets bound boxes fill it) and written to
// that record, by row id, and to no other. An edit writes only the fields
// set in the buffer to another text than they show: every other value,
// whatever another program stored there, stays as it is. While an add
// or edit is pending, every move is refused, so that nothing typed can land
// on another record.
//
// Operations return false on failure and leave the view as it was;
// lastError() says what failed. currentRecordChanged() follows every
// successful repositioning, including to "no current record".
class Recordset : public QObject
{
    Q_OBJECT

public:
    enum class EditMode { None, Editing, Adding };
    // What a move past the first or last record does: leave the view with
    // no current record, or stay on the record (the navigation bar).
    enum class AtEdge { LeaveRecord, Stay };

    explicit Recordset(QObject *parent = nullptr);
    ~Recordset() override;

    // Opens the view with its first record current (none when empty).
    bool open(const QString &databasePath, const ContactDatabase::Settings &settings = {});
    // A pending add or edit is dropped unwritten.
    void close();
    bool isOpen() const;
    bool isReadOnly() const;
    QString databasePath() const;
    // The store's own SQLite connection, for what holds per connection
    // (such as a limit on the file's size).
    sqlite3 *databaseHandle() const;
    // False while name keys are being made, and for a read-only file
    // without them (see NameIndex).
    bool searchesByIndex() const;
    bool waitForNameKeys(int timeoutMs);

    // A new empty record becomes current and pending; the record current
    // before is remembered.
    bool AddNew();
    // The current record enters edit mode, shown as it is stored now. Again
    // while editing: stays so, keeping what was typed.
    bool Edit();
    // Writes the edit buffer into the pending new record (which is then
    // stored, LastModified() names it, and the record current before AddNew
    // is current again) or into the record opened by Edit, if no other
    // window or program has changed or replaced it since. On failure the add
    // or edit stays pending.
    bool Update();
    // Drops a pending add or edit unwritten; the record current before is
    // current and shown again as stored.
    bool CancelUpdate();
    // Removes the current record at once; then no record is current, and
    // MoveNext/MovePrevious go on from where it stood. A record that another
    // window or program changed since it was shown is not removed, but shown
    // again as stored.
    bool Delete();

    bool MoveFirst();
    bool MoveLast();
    bool MoveNext(AtEdge atEdge = AtEdge::LeaveRecord);
    bool MovePrevious(AtEdge atEdge = AtEdge::LeaveRecord);
    // Re-reads the table: its first record becomes current.
    bool Refresh();

    // The criterion syntax is described with FindCriterion. The first
    // matching record in view order becomes current; without a match the
    // current record stays and NoMatch() is true.
    bool FindFirst(const QString &criterion);
    bool NoMatch() const { return m_noMatch; }

    RecordBookmark Bookmark() const;
    bool setBookmark(RecordBookmark bookmark);
    // The record stored last by this view (added or changed).
    RecordBookmark LastModified() const { return m_lastModified; }

    // A stored record is current (false while adding: the new one is not
    // stored yet).
    bool hasCurrentRecord() const;
    // The current record as stored; all NULL when none.
    const StoredRecord &currentRecord() const { return m_values; }
    // Its values as texts; empty texts when none.
    ContactValues currentValues() const { return textsOf(m_values); }
    EditMode editMode() const { return m_editMode; }
    QString lastError() const { return m_lastError; }

    // The edit buffer: the texts Update() writes. A field not set keeps its
    // stored value.
    void setValue(ContactField field, const QString &text);
    QString value(ContactField field) const;

Q_SIGNALS:
    void currentRecordChanged();
    // Emitted by Update() before it writes, so that bound boxes can put
    // their texts into the edit buffer. Connect directly.
    void aboutToSave();

private:
    // Where the view stands: on a record, in the gap a deleted record left,
    // or before the first / after the last record.
    struct Position
    {
        enum class Kind { BeforeFirst, OnRecord, Gap, AfterLast };
        Kind kind = Kind::BeforeFirst;
        qint64 id = 0;
    };

    bool refuseWhilePending(const QString &what);
    bool refuseReadOnly(const QString &what);
    bool ready(const QString &what);
    // Lands on the row a move found; without one, leaves the view past the
    // edge when asked to, else stays.
    bool finishMove(ContactStore::Lookup result, const ContactRow &row, std::optional<Position::Kind> pastTheEdge);
    void land(const ContactRow &row);
    void leave(Position::Kind kind, qint64 id = 0);
    bool showAgain(const Position &position);
    bool fail(const QString &message);

    std::unique_ptr<ContactStore> m_store;
    Position m_position;
    Position m_beforeAdd;
    StoredRecord m_values;
    ContactChanges m_buffer;
    EditMode m_editMode = EditMode::None;
    qint64 m_editId = 0;
    StoredRecord m_editedFrom; // the record as stored when Edit() opened it
    RecordBookmark m_lastModified;
    bool m_noMatch = false;
    QString m_lastError;
};
