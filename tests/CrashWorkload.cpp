#include "CrashWorkload.h"

#include <QStringList>

#include <iterator>

namespace CrashWorkload {

namespace {

// splitmix64: a good spread of bits from any counter.
quint64 mix(quint64 x)
{
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

QString valueFor(quint64 seed, int step, int field, quint64 bits)
{
    static const QStringList flavours = {
        QStringLiteral("O'Brien"), QStringLiteral("Émile Zoë"), QStringLiteral("ΣΊΣΥΦΟΣ"), QStringLiteral("שלום"),
        QStringLiteral("😀 emoji"), QStringLiteral("100% _done_"), QStringLiteral("back\\slash"), QStringLiteral("\ufeffbom"),
    };
    QString value = QStringLiteral("%1 s%2 n%3 f%4").arg(flavours.at(int(bits % 8))).arg(seed).arg(step).arg(field);
    // Now and then a long address, so that one save writes many pages.
    if (field == fieldIndex(ContactField::Address) && (bits >> 8) % 6 == 0)
        value += QString(4000 + int((bits >> 16) % 40000), QChar(u'a' + int(bits % 26)));
    return value;
}

// Every field for an insert; for an update, some of them, so that the
// others must stay exactly as they are.
ContactChanges changesFor(quint64 seed, int step, bool all)
{
    ContactChanges changes;
    quint64 bits = mix(seed * 1000003u + quint64(step));
    const quint64 chosen = all ? 0xff : 1 + bits % 0xff;
    for (int i = 0; i < ContactFieldCount; ++i) {
        bits = mix(bits);
        if (chosen & (1u << i))
            changes[i] = valueFor(seed, step, i, bits);
    }
    return changes;
}

} // namespace

Operation operation(quint64 seed, int step, const Contacts &before)
{
    const quint64 bits = mix(seed * 7919u + quint64(step) * 104729u);
    const auto size = quint64(before.size());
    Operation op;
    const int dice = int(bits % 10);
    if (size < 3 || (size < 60 && dice < 4))
        op.kind = Kind::Insert;
    else
        op.kind = dice < 7 ? Kind::Update : Kind::Remove;
    if (op.kind != Kind::Insert)
        op.id = std::next(before.begin(), qint64((bits >> 8) % size))->first;
    if (op.kind != Kind::Remove)
        op.changes = changesFor(seed, step, op.kind == Kind::Insert);
    return op;
}

void apply(const Operation &operation, qint64 id, Contacts &contacts)
{
    if (operation.kind == Kind::Remove) {
        contacts.erase(id);
        return;
    }
    StoredRecord &record = contacts[id];
    for (int i = 0; i < ContactFieldCount; ++i) {
        if (operation.changes[i])
            record[i] = StoredValue::fromText(*operation.changes[i]);
    }
}

ContactValues insertedValues(const Operation &operation)
{
    ContactValues values;
    for (int i = 0; i < ContactFieldCount; ++i)
        values[i] = operation.changes[i].value_or(QString());
    return values;
}

} // namespace CrashWorkload
