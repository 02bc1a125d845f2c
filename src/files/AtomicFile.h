#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QString>

#include <memory>

class QIODevice;

// A file that appears complete or not at all. The bytes go to a hidden file
// beside the target, ".<name>-XXXXXX.part", which only its owner may read
// and which is flushed to disk and then renamed over the target; the folder
// is flushed too, so that the rename survives a power loss. A target that is
// a symbolic link stays one: the file it names is written. An existing
// target keeps its mode; a new one is readable by its owner only.
//
// A target that is there but is no plain file (a terminal, a pipe,
// /dev/stdout) cannot be replaced and is written directly; a folder or a
// disk is refused.
//
// A part file is locked while it is written, so that one left behind by a
// writer that was killed can be told from one in use: removeStaleParts()
// removes the former.
class AtomicFile
{
    Q_DECLARE_TR_FUNCTIONS(AtomicFile)

public:
    enum class Existing {
        Replace, // the target is replaced when it is there
        Keep,    // never replaced, not even by a file that appears meanwhile
    };

    explicit AtomicFile(const QString &target, Existing existing = Existing::Replace);
    ~AtomicFile(); // drops what was written unless committed
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    bool open();
    // Where the bytes go: written through device(), or by name (SQLite
    // opens the part file itself).
    QIODevice *device() const;
    QString writePath() const;
    // The file that commit() makes: the target with its links followed.
    QString finalPath() const { return m_final; }

    // Flushes and renames; false with errorString() when that fails, and
    // with alreadyExists() too when Keep found a file there. errorString()
    // gives the reason, as QFile's does; after a failed open() commit()
    // fails with its reason, so that a caller may check once.
    bool commit();
    void cancel();
    bool alreadyExists() const { return m_alreadyExists; }
    QString errorString() const { return m_error; }

    // Removes the part files in folder that no writer holds any longer and
    // that have not changed for a minute, of the target fileName or, when
    // that is empty, of any target.
    static void removeStaleParts(const QString &folder, const QString &fileName = QString());

private:
    bool fail(const QString &message);

    QString m_target;
    QString m_final;
    Existing m_existing;
    std::unique_ptr<QFile> m_file; // the part file, or the target itself when written directly
    bool m_direct = false;
    bool m_alreadyExists = false;
    QString m_error;
};
