#pragma once

#include "tool/ToolOutput.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

class QIODevice;

// The commands of merivo-tool: export, import, backup, restore, check and
// convert-columns.
// Results and exported data go to output; a failure is one plain line on
// errors. Exit status 0 on success, 1 when a command failed (also when its
// output could not be written), 2 when the command line was wrong.
class MerivoTool
{
    Q_DECLARE_TR_FUNCTIONS(MerivoTool)

public:
    enum Status { Success = 0, Failure = 1, Usage = 2 };

    MerivoTool(QIODevice &output, QIODevice &errors, const QString &defaultDatabase);

    // arguments without the program's name.
    int run(const QStringList &arguments);
    QString helpText() const;
    // Entries of commands and options that the program handles beside these
    // (sync), each as the help writes its own: listed with them.
    void addToHelp(const QString &commands, const QString &options);

private:
    int runCommand(const QStringList &arguments);
    int exportContacts(const QString &format, const QString &vcardVersion, bool spreadsheetSafe,
                       const QStringList &files);
    int importContacts(const QString &format, const QString &file);
    int backup(const QStringList &files);
    int restore(const QString &file);
    int check();
    int convertColumns();

    int fail(const QString &message, int status = Failure);
    void say(const QStringList &lines);
    void note(const QStringList &lines);

    QIODevice &m_output;
    ToolOutput m_lines;
    QString m_database;
    QString m_moreCommands;
    QString m_moreOptions;
};
