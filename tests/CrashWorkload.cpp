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

ContactValues valuesFor(quint64 seed, int step)
{
    static const QStringList flavours = {
        QStringLiteral("O'Brien"), QStringLiteral("Émile Zoë"), QStringLiteral("ΣΊΣΥΦΟΣ"), QStringLiteral("שלום"),
        QStringLiteral("😀 emoji"), QStringLiteral("100% _done_"), QStringLiteral("back\\slash"), QStringLiteral("\ufeffbom"),
    };
    ContactValues values;
    quint64 bits = mix(seed * 1000003u + quint64(step));
    for (int i = 0; i < ContactFieldCount; ++i) {
        values[i] = QStringLiteral("%1 s%2 n%3 f%4").arg(flavours.at(int(bits % 8))).arg(seed).arg(step).arg(i);
        bits = mix(bits);
    }
    // Now and then a long address, so that one save writes many pages.
    if (bits % 6 == 0)
        values[fieldIndex(ContactField::Address)] += QString(4000 + int(bits % 40000), QChar(u'a' + int(bits % 26)));
    return values;
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
        op.values = valuesFor(seed, step);
    return op;
}

void apply(const Operation &operation, qint64 id, Contacts &contacts)
{
    if (operation.kind == Kind::Remove)
        contacts.erase(id);
    else
        contacts[id] = operation.values;
}

} // namespace CrashWorkload
