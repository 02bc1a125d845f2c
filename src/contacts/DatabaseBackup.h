#pragma once

#include <QCoreApplication>
#include <QString>

// Copies of db2.mdb made through SQLite's backup API, so that a copy is
// consistent even while the program has the file open and writes to it:
// the copy is of one committed state, never half of a save.
//
// Every copy appears complete or not at all (AtomicFile), is readable by its
// owner only, and never goes over the database, the files SQLite keeps
// beside it, or a copy that Merivo keeps (ProtectedFiles).
//
// Safe on any thread: each call opens connections of its own.
class DatabaseBackup
{
    Q_DECLARE_TR_FUNCTIONS(DatabaseBackup)

public:
    // How long a copy waits for another program's write lock, all told.
    static constexpr int BusyTimeoutMs = 5000;

    // Copies live in the folder backups/ beside the database, named after it
    // and a stamp: backups/db2-<stamp>.mdb.
    static QString backupFolder(const QString &databasePath);
    static QString backupPath(const QString &databasePath, const QString &stamp);

    // How a copy is made: through SQLite, of a sound contact database; or
    // byte for byte, of a damaged or foreign file that is to be kept as it is.
    enum class Content { Consistent, AsItIs };

    // Copies the contact database at source into the file target, replacing
    // a file there unless it is one of the database's protected files.
    static bool copy(const QString &source, const QString &target, QString *error);
    // The same into a target that must not be there yet; wasThere is set
    // when it was (also when it appeared meanwhile), and nothing is written.
    // Part files that copies cut short left in its folder go first.
    static bool copyNew(const QString &source, const QString &target, QString *error, bool *wasThere);
    // Keeps a copy in backups/ under backupPath(source, stamp), or under the
    // stamp with "-2", "-3", ... when that name is taken: a kept copy never
    // replaces another. Returns its path, or an empty text on failure.
    // Part files that an earlier copy left there when it was cut short go.
    static QString keepCopy(const QString &source, const QString &stamp, Content content, QString *error);

    // Whether the file at path is a contact database that SQLite's integrity
    // check finds sound; problem says what is wrong otherwise (the first of
    // the problems found, and how many more there are).
    static bool verify(const QString &path, QString *problem);

    // Why the database at target could not be written, or an empty text.
    static QString writeProblem(const QString &target);
    // Why source, the same file as the database at target, cannot be
    // restored into it; an empty text when it is another file.
    static QString sameFileProblem(const QString &source, const QString &target);

    // Replaces the contents of the database at target with those of the
    // sound contact database at source. A target that is a contact database
    // is overwritten in place in one transaction, so that connections the
    // program holds open see the new contents; any other file (or none) is
    // replaced as a whole, atomically. A target that is a symbolic link
    // stays one: the file it names is written.
    static bool replaceContents(const QString &source, const QString &target, QString *error);
};
