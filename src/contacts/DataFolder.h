#pragma once

#include <QCoreApplication>
#include <QProcessEnvironment>
#include <QString>

// The directory that holds db2.mdb and plimo.rpt. A build may fix one for
// everybody (MERIVO_DATA_DIR); otherwise each user has their own, in the XDG
// data directory of whoever runs the program: $XDG_DATA_HOME/merivo, or
// ~/.local/share/merivo. It never depends on where the program is installed
// or started. Both merivo and merivo-tool find it here.
class DataFolder
{
    Q_DECLARE_TR_FUNCTIONS(DataFolder)

public:
    // fixedDirectory is the directory the build fixed, or empty. The result
    // is an absolute path, or empty when the running user has no home folder
    // that could hold their data.
    static QString locate(const QString &fixedDirectory);

    // The rule itself: environment gives XDG_DATA_HOME and HOME, accountHome
    // is the home folder of the user's account, for when HOME is not set.
    static QString locate(const QString &fixedDirectory, const QProcessEnvironment &environment,
                          const QString &accountHome);

    // What to tell the user when locate() found no folder.
    static QString notFoundMessage();
};
