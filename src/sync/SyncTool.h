#pragma once

#include "tool/ToolOutput.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class DeletedContacts;
class QIODevice;
struct DeletedContact;
struct SyncAccount;

// The commands of merivo-tool that sync the contacts with CardDAV servers
// and bring deleted contacts back: account add|list|remove, sync, deleted,
// undelete. Same conventions as MerivoTool, through the same ToolOutput:
// results on output, a failure is one plain line on errors, exit status 0,
// 1 (failed, also when output was lost) or 2 (wrong command line).
class SyncTool
{
    Q_DECLARE_TR_FUNCTIONS(SyncTool)

public:
    SyncTool(QIODevice &output, QIODevice &errors, const QString &defaultDatabase);

    // Whether the command line names one of these commands.
    static bool handles(const QStringList &arguments);
    int run(const QStringList &arguments);
    // Their entries in merivo-tool --help.
    static QString commandsHelp();
    static QString optionsHelp();

private:
    int runCommand(const QStringList &arguments);
    int addAccount(const QString &url, const QString &user, const SyncAccount &settings, const QString &addressBook);
    int listAccounts();
    int removeAccount(const QString &which);
    int sync(const QString &which, const QString &prefer, int timeoutSeconds);
    int withDeleted(const std::function<int(DeletedContacts &, const std::vector<DeletedContact> &)> &work);
    int listDeleted();
    int undelete(const QString &number);

    bool readPassword(const SyncAccount &account, QString &password);
    int fail(const QString &message, int status = 1);
    // Each line of the text as a line of results.
    void say(const QString &text);

    QIODevice &m_output;
    ToolOutput m_lines;
    QString m_database;
};
