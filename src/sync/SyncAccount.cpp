#include "sync/SyncAccount.h"

#include "files/AtomicFile.h"
#include "sync/PrivateFile.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <qt6keychain/keychain.h>

namespace {

const QString KeyringService = QStringLiteral("merivo-tool");

QString tr(const char *message)
{
    return QCoreApplication::translate("Credentials", message);
}

// Runs a keyring job to its end; QtKeychain's jobs answer asynchronously.
// Never in a plain file: no insecure fallback.
bool run(QKeychain::Job &job, const SyncAccount &account)
{
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    job.setKey(account.key());
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
    return job.error() == QKeychain::NoError;
}

} // namespace

AccountFile::AccountFile(const QString &databasePath)
    : m_path(PrivateFile::besideDatabase(databasePath, QStringLiteral("sync-accounts.json")))
{
}

bool AccountFile::load(std::vector<SyncAccount> &accounts, QString *error) const
{
    accounts.clear();
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = tr("Could not read the sync accounts in %1: %2").arg(m_path, file.errorString());
        return false;
    }
    QJsonParseError parsing;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parsing);
    if (document.isNull() || !document.isObject()) {
        *error = tr("The sync accounts in %1 are damaged: %2").arg(m_path, parsing.errorString());
        return false;
    }
    const QJsonArray list = document.object().value(QStringLiteral("accounts")).toArray();
    for (const QJsonValue &value : list) {
        const QJsonObject object = value.toObject();
        SyncAccount account;
        account.url = QUrl(object.value(QStringLiteral("url")).toString(), QUrl::StrictMode);
        account.user = object.value(QStringLiteral("user")).toString();
        account.passwordCommand = object.value(QStringLiteral("passwordCommand")).toString();
        account.caFile = object.value(QStringLiteral("caFile")).toString();
        account.allowHttp = object.value(QStringLiteral("allowHttp")).toBool();
        account.conflicts = object.value(QStringLiteral("conflicts")).toString(QStringLiteral("both"));
        if (!account.url.isValid() || account.user.isEmpty()) {
            *error = tr("The sync accounts in %1 are damaged: an account lacks its address or user.").arg(m_path);
            return false;
        }
        accounts.push_back(account);
    }
    return true;
}

bool AccountFile::save(const std::vector<SyncAccount> &accounts, QString *error) const
{
    QJsonArray list;
    for (const SyncAccount &account : accounts) {
        QJsonObject object{{QStringLiteral("url"), account.url.toString(QUrl::FullyEncoded)},
                           {QStringLiteral("user"), account.user},
                           {QStringLiteral("conflicts"), account.conflicts}};
        if (!account.passwordCommand.isEmpty())
            object.insert(QStringLiteral("passwordCommand"), account.passwordCommand);
        if (!account.caFile.isEmpty())
            object.insert(QStringLiteral("caFile"), account.caFile);
        if (account.allowHttp)
            object.insert(QStringLiteral("allowHttp"), true);
        list.append(object);
    }
    const QByteArray json = QJsonDocument(QJsonObject{{QStringLiteral("accounts"), list}}).toJson();
    // Whole or not at all, and readable by its owner only.
    AtomicFile file(m_path);
    if (file.open())
        file.device()->write(json);
    if (!file.commit()) {
        *error = tr("Could not write %1: %2").arg(m_path, file.errorString());
        return false;
    }
    return true;
}

namespace Credentials {

bool password(const SyncAccount &account, QString &password, QString *error)
{
    if (!account.passwordCommand.isEmpty()) {
        // Through the shell, as the user wrote it ("pass show dav/ann").
        QProcess command;
        command.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), account.passwordCommand});
        command.closeWriteChannel();
        if (!command.waitForFinished(60000) || command.exitStatus() != QProcess::NormalExit || command.exitCode() != 0) {
            command.kill();
            const QString said = QString::fromLocal8Bit(command.readAllStandardError()).trimmed();
            *error = tr("The password command of %1 failed%2")
                         .arg(account.user, said.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + said.section(QLatin1Char('\n'), -1));
            return false;
        }
        const QByteArray output = command.readAllStandardOutput();
        password = QString::fromUtf8(output.left(output.indexOf('\n') < 0 ? output.size() : output.indexOf('\n')));
        password.remove(QLatin1Char('\r'));
        return true;
    }
    QKeychain::ReadPasswordJob job(KeyringService);
    if (!run(job, account)) {
        *error = tr("Could not read the password of %1 from the keyring: %2. Add the account again, or give it "
                    "a --password-command.")
                     .arg(account.user, job.errorString());
        return false;
    }
    password = job.textData();
    return true;
}

bool store(const SyncAccount &account, const QString &password, QString *error)
{
    QKeychain::WritePasswordJob job(KeyringService);
    job.setTextData(password);
    if (!run(job, account)) {
        *error = tr("Could not keep the password in the desktop's keyring: %1. Without a keyring, give the "
                    "account a --password-command.")
                     .arg(job.errorString());
        return false;
    }
    return true;
}

void forget(const SyncAccount &account)
{
    if (!account.passwordCommand.isEmpty())
        return;
    QKeychain::DeletePasswordJob job(KeyringService);
    run(job, account);
}

} // namespace Credentials
