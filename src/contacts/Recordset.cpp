#include "contacts/Recordset.h"

#include "contacts/ContactStore.h"
#include "contacts/FindCriterion.h"

Recordset::Recordset(QObject *parent) : QObject(parent), m_store(std::make_unique<ContactStore>()) {}

Recordset::~Recordset() = default;

bool Recordset::open(const QString &databasePath, const ContactDatabase::Settings &settings)
{
    close();
    m_lastError.clear();
    if (!m_store->open(databasePath, settings))
        return fail(m_store->lastError());
    if (!MoveFirst()) {
        const QString error = m_lastError;
        close();
        return fail(error);
    }
    return true;
}

void Recordset::close()
{
    m_store->close();
    m_position = Position();
    m_beforeAdd = Position();
    m_values = StoredRecord();
    m_buffer = ContactChanges();
    m_editMode = EditMode::None;
    m_lastModified.reset();
    m_noMatch = false;
}

bool Recordset::isOpen() const
{
    return m_store->isOpen();
}

bool Recordset::isReadOnly() const
{
    return m_store->isReadOnly();
}

QString Recordset::databasePath() const
{
    return m_store->path();
}

sqlite3 *Recordset::databaseHandle() const
{
    return m_store->databaseHandle();
}

bool Recordset::searchesByIndex() const
{
    return m_store->searchesByIndex();
}

bool Recordset::waitForNameKeys(int timeoutMs)
{
    return m_store->waitForNameKeys(timeoutMs);
}

bool Recordset::hasCurrentRecord() const
{
    return m_editMode != EditMode::Adding && m_position.kind == Position::Kind::OnRecord;
}

RecordBookmark Recordset::Bookmark() const
{
    if (!hasCurrentRecord())
        return std::nullopt;
    return m_position.id;
}

void Recordset::setValue(ContactField field, const QString &text)
{
    m_buffer[fieldIndex(field)] = text;
}

QString Recordset::value(ContactField field) const
{
    return m_buffer[fieldIndex(field)].value_or(m_values[fieldIndex(field)].text());
}

// ---- adding, editing, deleting

bool Recordset::AddNew()
{
    const QString what = tr("Could not add a contact");
    if (!ready(what) || !refuseWhilePending(what))
        return false;
    if (isReadOnly())
        return refuseReadOnly(what);
    m_beforeAdd = m_position;
    m_editMode = EditMode::Adding;
    m_buffer = ContactChanges();
    m_values = StoredRecord();
    Q_EMIT currentRecordChanged();
    return true;
}

bool Recordset::Edit()
{
    const QString what = tr("Could not edit the contact");
    if (!ready(what))
        return false;
    if (m_editMode == EditMode::Editing)
        return true;
    if (m_editMode == EditMode::Adding)
        return fail(tr("%1: a new contact is being added; save or cancel it first.").arg(what));
    if (isReadOnly())
        return refuseReadOnly(what);
    if (!hasCurrentRecord())
        return fail(tr("%1: there is no current contact.").arg(what));

    // Another window may have deleted it since it was shown.
    ContactRow row;
    switch (m_store->byId(m_position.id, row)) {
    case ContactStore::Lookup::Found:
        break;
    case ContactStore::Lookup::Missing:
        return fail(tr("%1: it no longer exists (%2)").arg(what, databasePath()));
    case ContactStore::Lookup::Failed:
        return fail(m_store->lastError());
    }
    // Changed by another window or program since it was shown: the boxes
    // show it as stored, so that Update() writes nothing the user has not seen.
    if (row.values != m_values)
        land(row);
    m_editMode = EditMode::Editing;
    m_editId = row.id;
    m_editedFrom = row.values;
    m_buffer = ContactChanges();
    return true;
}

bool Recordset::Update()
{
    if (!ready(tr("Could not save the contact")))
        return false;
    if (m_editMode == EditMode::None)
        return fail(tr("Could not save the contact: no new contact or edit is under way, so nothing was written."));

    Q_EMIT aboutToSave();
    if (m_editMode == EditMode::Adding) {
        ContactValues values;
        for (int i = 0; i < ContactFieldCount; ++i)
            values[i] = m_buffer[i].value_or(QString());
        const std::optional<qint64> id = m_store->insert(values);
        if (!id)
            return fail(m_store->lastError());
        m_lastModified = id;
        m_editMode = EditMode::None;
        showAgain(m_beforeAdd);
        return true;
    }

    // A text set as the field shows it is no change: the stored value, a
    // number or bytes that are not UTF-8 perhaps, stays as it is.
    ContactChanges changes = m_buffer;
    for (int i = 0; i < ContactFieldCount; ++i) {
        if (changes[i] && *changes[i] == m_editedFrom[i].text())
            changes[i].reset();
    }
    if (m_store->update(m_editId, changes, m_editedFrom) != ContactStore::Change::Done)
        return fail(m_store->lastError());
    m_lastModified = m_editId;
    m_editMode = EditMode::None;
    // Read back: the caption and boxes then show what the file holds.
    showAgain(Position{Position::Kind::OnRecord, m_editId});
    return true;
}

bool Recordset::CancelUpdate()
{
    if (!ready(tr("Could not cancel")))
        return false;
    Position back = m_position;
    if (m_editMode == EditMode::Adding)
        back = m_beforeAdd;
    else if (m_editMode == EditMode::Editing)
        back = Position{Position::Kind::OnRecord, m_editId};
    m_editMode = EditMode::None;
    return showAgain(back);
}

bool Recordset::Delete()
{
    const QString what = tr("Could not delete the contact");
    if (!ready(what) || !refuseWhilePending(what))
        return false;
    if (isReadOnly())
        return refuseReadOnly(what);
    if (!hasCurrentRecord())
        return fail(tr("%1: there is no current contact.").arg(what));
    const qint64 id = m_position.id;
    switch (m_store->remove(id, m_values)) {
    case ContactStore::Change::Done:
    case ContactStore::Change::Gone: // deleted in another window: gone as asked
        leave(Position::Kind::Gap, id);
        return true;
    case ContactStore::Change::Changed: {
        // Not what the user agreed to delete: show what is stored now.
        const QString error = m_store->lastError();
        const Position here = m_position;
        showAgain(here);
        return fail(error);
    }
    case ContactStore::Change::Failed:
        break;
    }
    return fail(m_store->lastError());
}

// ---- moving

bool Recordset::MoveFirst()
{
    const QString what = tr("Could not move to the first contact");
    if (!ready(what) || !refuseWhilePending(what))
        return false;
    ContactRow row;
    return finishMove(m_store->first(row), row, Position::Kind::BeforeFirst);
}

bool Recordset::MoveLast()
{
    const QString what = tr("Could not move to the last contact");
    if (!ready(what) || !refuseWhilePending(what))
        return false;
    ContactRow row;
    return finishMove(m_store->last(row), row, Position::Kind::AfterLast);
}

bool Recordset::MoveNext(AtEdge atEdge)
{
    const QString what = tr("Could not move to the next contact");
    if (!ready(what) || !refuseWhilePending(what))
        return false;
    ContactRow row;
    ContactStore::Lookup result = ContactStore::Lookup::Missing;
    switch (m_position.kind) {
    case Position::Kind::BeforeFirst:
        result = m_store->first(row);
        break;
    case Position::Kind::OnRecord:
    case Position::Kind::Gap:
        result = m_store->after(m_position.id, row);
        break;
    case Position::Kind::AfterLast:
        break;
    }
    return finishMove(result, row,
                      atEdge == AtEdge::LeaveRecord ? std::optional(Position::Kind::AfterLast) : std::nullopt);
}

bool Recordset::MovePrevious(AtEdge atEdge)
{
    const QString what = tr("Could not move to the previous contact");
    if (!ready(what) || !refuseWhilePending(what))
        return false;
    ContactRow row;
    ContactStore::Lookup result = ContactStore::Lookup::Missing;
    switch (m_position.kind) {
    case Position::Kind::AfterLast:
        result = m_store->last(row);
        break;
    case Position::Kind::OnRecord:
    case Position::Kind::Gap:
        result = m_store->before(m_position.id, row);
        break;
    case Position::Kind::BeforeFirst:
        break;
    }
    return finishMove(result, row,
                      atEdge == AtEdge::LeaveRecord ? std::optional(Position::Kind::BeforeFirst) : std::nullopt);
}

bool Recordset::finishMove(ContactStore::Lookup result, const ContactRow &row,
                           std::optional<Position::Kind> pastTheEdge)
{
    switch (result) {
    case ContactStore::Lookup::Found:
        land(row);
        return true;
    case ContactStore::Lookup::Missing:
        // No record that way: leave the view past the edge, or stay put.
        if (pastTheEdge)
            leave(*pastTheEdge);
        return true;
    case ContactStore::Lookup::Failed:
        break;
    }
    return fail(m_store->lastError());
}

bool Recordset::Refresh()
{
    return MoveFirst();
}

bool Recordset::FindFirst(const QString &criterion)
{
    const QString what = tr("Could not search the contacts");
    m_noMatch = true;
    if (!ready(what) || !refuseWhilePending(what))
        return false;
    const FindCriterionParse parsed = parseFindCriterion(criterion);
    if (!parsed.criterion)
        return fail(parsed.error);
    if (parsed.criterion->field != ContactField::Name) {
        return fail(tr("%1: only the field Name can be searched, not \"%2\".")
                        .arg(what, contactFieldName(parsed.criterion->field)));
    }
    ContactRow row;
    switch (m_store->firstNamed(parsed.criterion->text, row)) {
    case ContactStore::Lookup::Found:
        m_noMatch = false;
        land(row);
        return true;
    case ContactStore::Lookup::Missing:
        return true;
    case ContactStore::Lookup::Failed:
        break;
    }
    return fail(m_store->lastError());
}

bool Recordset::setBookmark(RecordBookmark bookmark)
{
    const QString what = tr("Could not go to the contact");
    if (!ready(what) || !refuseWhilePending(what))
        return false;
    if (!bookmark)
        return fail(tr("%1: no contact was named.").arg(what));
    ContactRow row;
    switch (m_store->byId(*bookmark, row)) {
    case ContactStore::Lookup::Found:
        land(row);
        return true;
    case ContactStore::Lookup::Missing:
        return fail(tr("%1: it no longer exists (%2)").arg(what, databasePath()));
    case ContactStore::Lookup::Failed:
        break;
    }
    return fail(m_store->lastError());
}

// ---- helpers

bool Recordset::ready(const QString &what)
{
    m_lastError.clear();
    if (!isOpen())
        return fail(tr("%1: the contact store is not open.").arg(what));
    return true;
}

bool Recordset::refuseReadOnly(const QString &what)
{
    return fail(tr("%1: the contact database %2 is open read-only: %3.")
                    .arg(what, databasePath(), m_store->readOnlyReason()));
}

bool Recordset::refuseWhilePending(const QString &what)
{
    switch (m_editMode) {
    case EditMode::None:
        return true;
    case EditMode::Adding:
        return fail(tr("%1: a new contact is being added; save or cancel it first.").arg(what));
    case EditMode::Editing:
        return fail(tr("%1: the current contact is being edited; save or cancel it first.").arg(what));
    }
    return true;
}

void Recordset::land(const ContactRow &row)
{
    m_position = Position{Position::Kind::OnRecord, row.id};
    m_values = row.values;
    Q_EMIT currentRecordChanged();
}

void Recordset::leave(Position::Kind kind, qint64 id)
{
    m_position = Position{kind, id};
    m_values = StoredRecord();
    Q_EMIT currentRecordChanged();
}

bool Recordset::showAgain(const Position &position)
{
    if (position.kind != Position::Kind::OnRecord) {
        leave(position.kind, position.id);
        return true;
    }
    ContactRow row;
    switch (m_store->byId(position.id, row)) {
    case ContactStore::Lookup::Found:
        land(row);
        return true;
    case ContactStore::Lookup::Missing:
        // Deleted in another window meanwhile: stand in its gap.
        leave(Position::Kind::Gap, position.id);
        return true;
    case ContactStore::Lookup::Failed:
        break;
    }
    leave(Position::Kind::Gap, position.id);
    return fail(m_store->lastError());
}

bool Recordset::fail(const QString &message)
{
    m_lastError = message;
    return false;
}
