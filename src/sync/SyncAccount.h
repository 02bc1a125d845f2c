#pragma once

#include <QCoreApplication>
#include <QString>
#include <QUrl>

#include <vector>

// One address book on a CardDAV server that the contacts are synced with.
struct SyncAccount
{
    QUrl url; // the address book collection
    QString user;
    QString passwordCommand; // empty: the password is in the desktop's keyring
    QString caFile;          // authorities trusted besides the system's
    bool allowHttp = false;  // plain HTTP to another machine
    QString conflicts;       // "both" (the default), "local" or "server"

    // Names the account in the sync tables and the keyring.
    QString key() const { return user + QLatin1Char('@') + url.toString(QUrl::FullyEncoded); }
};

// The accounts of one contact database, kept as JSON beside it (for db2.mdb,
// db2-sync-accounts.json), readable by its owner only. It holds no password.
class AccountFile
{
    Q_DECLARE_TR_FUNCTIONS(AccountFile)

public:
    explicit AccountFile(const QString &databasePath);

    QString path() const { return m_path; }
    // A missing file is no account.
    bool load(std::vector<SyncAccount> &accounts, QString *error) const;
    bool save(const std::vector<SyncAccount> &accounts, QString *error) const;

private:
    QString m_path;
};

// Where a password comes from: the output of the account's password command,
// or the desktop's keyring (the Secret Service, through QtKeychain).
namespace Credentials {

bool password(const SyncAccount &account, QString &password, QString *error);
bool store(const SyncAccount &account, const QString &password, QString *error);
void forget(const SyncAccount &account);

} // namespace Credentials
