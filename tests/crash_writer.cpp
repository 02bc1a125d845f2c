// Helper of tst_crashsafety: adds, changes and deletes contacts through the
// contact store until it is killed. After every call that returned, it
// appends "<step> <kind> <row id>" to a journal file and syncs it, so that
// the test knows which changes the store had reported done.
//
//   crash_writer <database> <journal> <seed>
//
// Prints "started" before it opens the store and "ready" once the first
// change is about to be made.

#include "CrashWorkload.h"

#include "contacts/ContactStore.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

using namespace CrashWorkload;

namespace {

int failed(const char *what, const QString &why)
{
    std::fprintf(stderr, "crash_writer: %s: %s\n", what, qPrintable(why));
    return 2;
}

void say(const char *line)
{
    std::fputs(line, stdout);
    std::fflush(stdout);
}

bool journal(int fd, const QByteArray &line)
{
    qsizetype written = 0;
    while (written < line.size()) {
        const ssize_t n = ::write(fd, line.constData() + written, size_t(line.size() - written));
        if (n < 0)
            return false;
        written += n;
    }
    return ::fsync(fd) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4)
        return failed("usage", QStringLiteral("crash_writer <database> <journal> <seed>"));
    say("started\n");
    const quint64 seed = QByteArray(argv[3]).toULongLong();

    ContactStore store;
    if (!store.open(QFile::decodeName(argv[1]), {}))
        return failed("open", store.lastError());
    Contacts contacts;
    ContactRow row;
    for (auto found = store.first(row); found == ContactStore::Lookup::Found; found = store.after(row.id, row))
        contacts[row.id] = row.values;

    const int fd = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
    if (fd < 0)
        return failed("journal", QString::fromLocal8Bit(argv[2]));
    say("ready\n");

    for (int step = 0;; ++step) {
        const Operation op = operation(seed, step, contacts);
        qint64 id = op.id;
        switch (op.kind) {
        case Kind::Insert: {
            const std::optional<qint64> inserted = store.insert(insertedValues(op));
            if (!inserted)
                return failed("insert", store.lastError());
            id = *inserted;
            break;
        }
        case Kind::Update:
            if (store.update(id, op.changes, contacts.at(id)) != ContactStore::Change::Done)
                return failed("update", store.lastError());
            break;
        case Kind::Remove:
            if (store.remove(id, contacts.at(id)) != ContactStore::Change::Done)
                return failed("remove", store.lastError());
            break;
        }
        if (!journal(fd, QByteArray::number(step) + ' ' + char(op.kind) + ' ' + QByteArray::number(id) + '\n'))
            return failed("journal", QStringLiteral("write failed"));
        apply(op, id, contacts);
    }
}
