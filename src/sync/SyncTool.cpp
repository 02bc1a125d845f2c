#include "sync/SyncTool.h"

#include "contacts/ContactDatabase.h"
#include "contacts/DataFolder.h"
#include "contacts/DeletedContacts.h"
#include "contacts/ProtectedFiles.h"
#include "contacts/SyncSchema.h"
#include "sync/AddressBookDiscovery.h"
#include "sync/DavClient.h"
#include "sync/PrivateFile.h"
#include "sync/SyncAccount.h"
#include "sync/SyncLog.h"
#include "sync/SyncState.h"
#include "sync/Synchronizer.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QIODevice>
#include <QLockFile>

#include <cstdio>
#include <iostream>
#include <string>

#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Before the lines that belong to an account's line in a sync's report.
const QString Indent = QStringLiteral("  ");

const QStringList Commands{QStringLiteral("account"), QStringLiteral("sync"), QStringLiteral("deleted"),
                           QStringLiteral("undelete")};
// Options of merivo-tool that take a value, so that the command is found.
const QStringList ValueOptions{QStringLiteral("--database"),      QStringLiteral("--format"),
                               QStringLiteral("--vcard-version"), QStringLiteral("--user"),
                               QStringLiteral("--password-command"), QStringLiteral("--ca-file"),
                               QStringLiteral("--addressbook"),   QStringLiteral("--prefer"),
                               QStringLiteral("--timeout")};

// One line from the terminal without echo, or from standard input.
QString readSecretLine(const QString &prompt)
{
    const bool terminal = ::isatty(STDIN_FILENO);
    termios saved{};
    if (terminal) {
        std::fputs(prompt.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
        ::tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string line;
    std::getline(std::cin, line);
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        std::fputs("\n", stderr);
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromStdString(line);
}

// A command of the help: its synopsis, and below it its description.
QString helpEntry(const QString &synopsis, const QString &description)
{
    QString entry = QStringLiteral("  ") + synopsis + QLatin1Char('\n');
    for (const QString &line : description.split(QLatin1Char('\n')))
        entry += QString(6, QLatin1Char(' ')) + line + QLatin1Char('\n');
    return entry;
}

// An option of the help, with its description in the column of the others'
// (below it when the option is too long for that).
QString optionEntry(const QString &option, const QString &description)
{
    constexpr int Column = 22;
    const QString margin(Column, QLatin1Char(' '));
    QString entry = QStringLiteral("  ") + option;
    entry = entry.size() + 2 > Column ? entry + QLatin1Char('\n') + margin : entry.leftJustified(Column);
    return entry + description.split(QLatin1Char('\n')).join(QLatin1Char('\n') + margin) + QLatin1Char('\n');
}

} // namespace

SyncTool::SyncTool(QIODevice &output, QIODevice &errors, const QString &defaultDatabase)
    : m_output(output), m_lines(output, errors), m_database(defaultDatabase)
{
}

bool SyncTool::handles(const QStringList &arguments)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument.startsWith(QLatin1Char('-'))) {
            if (ValueOptions.contains(argument))
                ++i;
            continue;
        }
        return Commands.contains(argument);
    }
    return false;
}

QString SyncTool::commandsHelp()
{
    return helpEntry(QStringLiteral("account add URL --user NAME [--password-command CMD] [--ca-file FILE] [--allow-http] "
                                    "[--addressbook NAME] [--prefer both|local|server]"),
                     tr("Finds the user's address book on a CardDAV server (Nextcloud, Radicale,\n"
                        "...) from its address, or takes the address book's own address, and\n"
                        "keeps the account. The password is asked for and kept in the desktop's\n"
                        "keyring, unless CMD prints it."))
        + helpEntry(QStringLiteral("account list"), tr("Lists the accounts with their numbers."))
        + helpEntry(QStringLiteral("account remove N|URL"), tr("Forgets an account and its password in the keyring."))
        + helpEntry(QStringLiteral("sync [N|URL] [--prefer both|local|server] [--timeout SECONDS]"),
                    tr("Syncs the contacts both ways with every account, or the one named. Every\n"
                       "conflict is listed; the sync is logged beside the database\n"
                       "(db2-sync.log for db2.mdb)."))
        + helpEntry(QStringLiteral("deleted"),
                    tr("Lists the contacts deleted in the last %1 days, with their numbers.").arg(SyncSchema::KeptDays))
        + helpEntry(QStringLiteral("undelete N"), tr("Brings back the deleted contact N; the next sync sends it back."));
}

QString SyncTool::optionsHelp()
{
    return optionEntry(QStringLiteral("--user NAME"), tr("with account add: the user's name on the server"))
        + optionEntry(QStringLiteral("--password-command CMD"),
                      tr("with account add: the shell command that prints the\n"
                         "password at each sync, instead of the keyring"))
        + optionEntry(QStringLiteral("--ca-file FILE"),
                      tr("with account add: the certificates (PEM) of the authority\n"
                         "that signed a self-hosted server's certificate"))
        + optionEntry(QStringLiteral("--allow-http"),
                      tr("with account add: plain http to another machine than this\n"
                         "one, where passwords and contacts travel unencrypted"))
        + optionEntry(QStringLiteral("--addressbook NAME"),
                      tr("with account add: the address book to sync, where the\n"
                         "user has several"))
        + optionEntry(QStringLiteral("--prefer both|local|server"),
                      tr("with account add and sync: the side that wins where a\n"
                         "field changed on both; both (the default) keeps both\n"
                         "versions"))
        + optionEntry(QStringLiteral("--timeout SECONDS"),
                      tr("with sync: a server silent this long (600 seconds unless\n"
                         "given) stops the sync"));
}

int SyncTool::fail(const QString &message, int status)
{
    QString line = message;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    m_lines.note(line);
    return status;
}

void SyncTool::say(const QString &text)
{
    for (const QString &line : text.split(QLatin1Char('\n')))
        m_lines.say(line);
}

int SyncTool::run(const QStringList &arguments)
{
    return m_lines.finish(runCommand(arguments));
}

int SyncTool::runCommand(const QStringList &arguments)
{
    // Everything this command writes (accounts, log, lock) is its owner's only.
    ::umask(077);
    QCommandLineParser parser;
    const QCommandLineOption database(QStringLiteral("database"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption user(QStringLiteral("user"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption passwordCommand(QStringLiteral("password-command"), QString(), QStringLiteral("CMD"));
    const QCommandLineOption caFile(QStringLiteral("ca-file"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption allowHttp(QStringLiteral("allow-http"));
    const QCommandLineOption addressBook(QStringLiteral("addressbook"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption prefer(QStringLiteral("prefer"), QString(), QStringLiteral("SIDE"));
    const QCommandLineOption timeout(QStringLiteral("timeout"), QString(), QStringLiteral("SECONDS"));
    parser.addOptions({database, user, passwordCommand, caFile, allowHttp, addressBook, prefer, timeout});
    if (!parser.parse(QStringList{QStringLiteral("merivo-tool")} + arguments))
        return fail(tr("%1 See merivo-tool --help.").arg(parser.errorText()), 2);
    if (parser.isSet(database))
        m_database = parser.value(database);
    if (m_database.isEmpty()) {
        if (parser.isSet(database))
            return fail(tr("--database needs the path of a contact database."), 2);
        return fail(tr("%1 Name a database with --database PATH.").arg(DataFolder::notFoundMessage()));
    }
    // As with every command of merivo-tool: merivo-tool deleted >> db2.mdb
    // must not write into the database.
    if (const QString refusal = ProtectedFiles(m_database).refusal(m_output, tr("Standard output")); !refusal.isEmpty())
        return fail(refusal);

    QStringList positional = parser.positionalArguments();
    const QString command = positional.takeFirst();
    QString subcommand;
    if (command == QLatin1String("account")) {
        if (positional.isEmpty())
            return fail(tr("account needs add, list or remove. See merivo-tool --help."), 2);
        subcommand = positional.takeFirst();
    }
    const QString name = subcommand.isEmpty() ? command : command + QLatin1Char(' ') + subcommand;

    // Each command takes only its own options and arguments.
    QList<const QCommandLineOption *> allowed;
    qsizetype least = 0;
    qsizetype most = 0;
    if (name == QLatin1String("account add")) {
        allowed = {&user, &passwordCommand, &caFile, &allowHttp, &addressBook, &prefer, &timeout};
        least = most = 1;
    } else if (name == QLatin1String("account remove") || name == QLatin1String("undelete")) {
        least = most = 1;
    } else if (name == QLatin1String("sync")) {
        allowed = {&prefer, &timeout};
        most = 1;
    } else if (name != QLatin1String("account list") && name != QLatin1String("deleted")) {
        return fail(tr("unknown command %1. See merivo-tool --help.").arg(name), 2);
    }
    for (const QCommandLineOption *option : {&user, &passwordCommand, &caFile, &allowHttp, &addressBook, &prefer, &timeout}) {
        if (parser.isSet(*option) && !allowed.contains(option))
            return fail(tr("%1 takes no --%2.").arg(name, option->names().constFirst()), 2);
    }
    if (positional.size() < least)
        return fail(tr("%1 needs %2. See merivo-tool --help.")
                        .arg(name, name == QLatin1String("account add") ? tr("the address of the server") : tr("a number")),
                    2);
    if (positional.size() > most)
        return fail(tr("%1 takes %2 arguments at most: %3 is one too many.").arg(name).arg(most).arg(positional.at(most)), 2);
    if (parser.isSet(prefer) && !Synchronizer::preferNamed(parser.value(prefer)))
        return fail(tr("--prefer takes both, local or server, not %1.").arg(parser.value(prefer)), 2);
    int timeoutSeconds = DavClient::DefaultTimeoutMs / 1000;
    if (parser.isSet(timeout)) {
        bool ok = false;
        timeoutSeconds = parser.value(timeout).toInt(&ok);
        if (!ok || timeoutSeconds < 1 || timeoutSeconds > 3600)
            return fail(tr("--timeout takes a number of seconds from 1 to 3600."), 2);
    }

    if (name == QLatin1String("account add")) {
        if (!parser.isSet(user) || parser.value(user).isEmpty())
            return fail(tr("account add needs --user NAME."), 2);
        SyncAccount settings;
        settings.passwordCommand = parser.value(passwordCommand);
        settings.caFile = parser.isSet(caFile) ? QFileInfo(parser.value(caFile)).absoluteFilePath() : QString();
        settings.allowHttp = parser.isSet(allowHttp);
        settings.conflicts = parser.isSet(prefer) ? parser.value(prefer) : QStringLiteral("both");
        return addAccount(positional.constFirst(), parser.value(user), settings, parser.value(addressBook));
    }
    if (name == QLatin1String("account list"))
        return listAccounts();
    if (name == QLatin1String("account remove"))
        return removeAccount(positional.constFirst());
    if (name == QLatin1String("sync"))
        return sync(positional.value(0), parser.value(prefer), timeoutSeconds);
    if (name == QLatin1String("deleted"))
        return listDeleted();
    return undelete(positional.constFirst());
}

bool SyncTool::readPassword(const SyncAccount &account, QString &password)
{
    if (!account.passwordCommand.isEmpty()) {
        QString error;
        if (!Credentials::password(account, password, &error)) {
            fail(error);
            return false;
        }
        return true;
    }
    password = readSecretLine(tr("Password of %1 at %2: ").arg(account.user, account.url.host()));
    return true;
}

int SyncTool::addAccount(const QString &address, const QString &user, const SyncAccount &settings,
                         const QString &addressBook)
{
    SyncAccount account = settings;
    account.user = user;
    account.url = QUrl::fromUserInput(address);
    DavClient::Settings connection{user, QString(), account.caFile, account.allowHttp};
    {
        const QString why = DavClient(connection).refusal(account.url);
        if (!why.isEmpty())
            return fail(why, 2);
    }
    AccountFile file(m_database);
    std::vector<SyncAccount> accounts;
    QString error;
    if (!file.load(accounts, &error))
        return fail(error);
    if (!readPassword(account, connection.password))
        return 1;

    DavClient client(connection);
    if (!client.prepare(&error))
        return fail(error);
    AddressBookDiscovery discovery(client);
    std::vector<FoundAddressBook> found;
    if (!discovery.run(account.url, found))
        return fail(discovery.lastError());
    const FoundAddressBook *chosen = found.size() == 1 && addressBook.isEmpty() ? &found.front() : nullptr;
    QStringList names;
    for (const FoundAddressBook &book : found) {
        names.append(book.name);
        if (!addressBook.isEmpty() && (book.name == addressBook || book.url.path().section(QLatin1Char('/'), -2, -2) == addressBook))
            chosen = &book;
    }
    if (!chosen) {
        return fail(addressBook.isEmpty()
                        ? tr("%1 has several address books; name one with --addressbook: %2.").arg(user, names.join(QStringLiteral(", ")))
                        : tr("%1 has no address book named %2, but: %3.").arg(user, addressBook, names.join(QStringLiteral(", "))));
    }
    account.url = chosen->url;
    for (const SyncAccount &existing : accounts) {
        if (existing.key() == account.key())
            return fail(tr("The account %1 at %2 is there already.").arg(user, account.url.toDisplayString()));
    }
    if (account.passwordCommand.isEmpty() && !Credentials::store(account, connection.password, &error))
        return fail(error);
    accounts.push_back(account);
    if (!file.save(accounts, &error))
        return fail(error);
    say(tr("Added account %1: %2 at %3 (address book %4). merivo-tool sync syncs it.")
            .arg(accounts.size())
            .arg(user, account.url.toDisplayString(), chosen->name));
    return 0;
}

int SyncTool::listAccounts()
{
    std::vector<SyncAccount> accounts;
    QString error;
    if (!AccountFile(m_database).load(accounts, &error))
        return fail(error);
    if (accounts.empty())
        say(tr("No accounts. merivo-tool account add URL --user NAME adds one."));
    for (size_t i = 0; i < accounts.size(); ++i) {
        const SyncAccount &account = accounts[i];
        say(tr("%1  %2 at %3, password %4").arg(i + 1).arg(account.user, account.url.toDisplayString(),
                                                           account.passwordCommand.isEmpty() ? tr("in the keyring")
                                                                                              : tr("from its command")));
    }
    return 0;
}

namespace {

// The account named by its number in the list or its address; -1 if none.
qsizetype accountNamed(const std::vector<SyncAccount> &accounts, const QString &which)
{
    bool isNumber = false;
    const qsizetype number = which.toLongLong(&isNumber);
    if (isNumber)
        return number >= 1 && number <= qsizetype(accounts.size()) ? number - 1 : -1;
    for (size_t i = 0; i < accounts.size(); ++i) {
        if (accounts[i].url == QUrl(which) || accounts[i].url.toString() == which)
            return qsizetype(i);
    }
    return -1;
}

} // namespace

int SyncTool::removeAccount(const QString &which)
{
    AccountFile file(m_database);
    std::vector<SyncAccount> accounts;
    QString error;
    if (!file.load(accounts, &error))
        return fail(error);
    const qsizetype index = accountNamed(accounts, which);
    if (index < 0)
        return fail(tr("There is no account %1; merivo-tool account list shows them.").arg(which));
    const SyncAccount account = accounts[size_t(index)];
    if (QFileInfo::exists(m_database)) {
        SyncState state;
        if (!state.open(m_database) || !state.removeAccount(account.key()))
            return fail(state.lastError());
    }
    accounts.erase(accounts.begin() + index);
    if (!file.save(accounts, &error))
        return fail(error);
    Credentials::forget(account);
    say(tr("Removed the account %1 at %2; the contacts stay here and on the server.")
            .arg(account.user, account.url.toDisplayString()));
    return 0;
}

int SyncTool::sync(const QString &which, const QString &prefer, int timeoutSeconds)
{
    std::vector<SyncAccount> accounts;
    QString error;
    if (!AccountFile(m_database).load(accounts, &error))
        return fail(error);
    if (!which.isEmpty()) {
        const qsizetype index = accountNamed(accounts, which);
        if (index < 0)
            return fail(tr("There is no account %1; merivo-tool account list shows them.").arg(which));
        accounts = {accounts[size_t(index)]};
    }
    if (accounts.empty()) {
        say(tr("No accounts to sync. merivo-tool account add URL --user NAME adds one."));
        return 0;
    }

    // One sync at a time (the timer's and one started by hand); a lock left
    // by a sync that was killed is taken over.
    QLockFile lock(PrivateFile::besideDatabase(m_database, QStringLiteral("sync.lock")));
    if (!lock.tryLock(60000))
        return fail(tr("Another sync of %1 is running.").arg(m_database));
    SyncState state;
    if (!state.open(m_database))
        return fail(state.lastError());
    SyncLog log(m_database);

    int status = 0;
    for (const SyncAccount &account : accounts) {
        const Synchronizer::Prefer rule = Synchronizer::preferNamed(prefer.isEmpty() ? account.conflicts : prefer)
                                              .value_or(Synchronizer::Prefer::Both);
        DavClient::Settings connection{account.user, QString(), account.caFile, account.allowHttp, timeoutSeconds * 1000};
        if (!Credentials::password(account, connection.password, &error)) {
            log.line(account.key() + QStringLiteral(": ") + error);
            status = fail(error);
            continue;
        }
        DavClient client(connection);
        if (!client.prepare(&error)) {
            status = fail(error);
            continue;
        }
        Synchronizer synchronizer(state, client, account, rule, log);
        SyncReport report;
        const bool finished = synchronizer.run(report);
        // In one step, so that a % in the name or address is never taken for a placeholder.
        say(tr("%1 at %2: received %3 new, %4 changed, %5 deleted; sent %6 new, %7 changed, %8 deleted.")
                .arg(account.user, account.url.toDisplayString(), QString::number(report.receivedNew),
                     QString::number(report.receivedChanged), QString::number(report.receivedDeleted),
                     QString::number(report.sentNew), QString::number(report.sentChanged),
                     QString::number(report.sentDeleted)));
        if (report.paired)
            say(Indent + tr("%1 contacts were on the server already and were paired, not added twice.").arg(report.paired));
        if (report.withoutName)
            say(Indent + tr("%1 cards hold nothing to serve as a name and were passed over.").arg(report.withoutName));
        for (const QString &conflict : std::as_const(report.conflicts))
            say(Indent + tr("Conflict: %1").arg(conflict));
        for (const QString &problem : std::as_const(report.problems))
            say(Indent + tr("Not synced this time: %1").arg(problem));
        if (!finished) {
            status = fail(tr("The sync with %1 stopped: %2 What it did is kept; the next sync goes on from there.")
                              .arg(account.url.toDisplayString(), synchronizer.lastError()));
        }
    }
    return status;
}

int SyncTool::withDeleted(const std::function<int(DeletedContacts &, const std::vector<DeletedContact> &)> &work)
{
    ContactDatabase database;
    if (!database.open(m_database, {}))
        return fail(database.lastError());
    DeletedContacts deleted(database);
    std::vector<DeletedContact> contacts;
    if (!deleted.list(contacts))
        return fail(deleted.lastError());
    return work(deleted, contacts);
}

int SyncTool::listDeleted()
{
    return withDeleted([&](DeletedContacts &, const std::vector<DeletedContact> &contacts) {
        if (contacts.empty())
            say(tr("No contacts were deleted in the last 30 days."));
        for (const DeletedContact &contact : contacts) {
            QStringList details;
            for (int i = 1; i < ContactFieldCount; ++i) {
                if (!contact.values[i].isEmpty() && details.size() < 2)
                    details.append(contact.values[i].simplified());
            }
            say(tr("%1  %2  %3%4")
                    .arg(contact.number, 4)
                    .arg(contact.deletedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                         contact.values[fieldIndex(ContactField::Name)].simplified(),
                         details.isEmpty() ? QString() : QStringLiteral("  (") + details.join(QStringLiteral("; ")) + QLatin1Char(')')));
        }
        return 0;
    });
}

int SyncTool::undelete(const QString &number)
{
    bool ok = false;
    const qint64 chosen = number.toLongLong(&ok);
    if (!ok || chosen < 1)
        return fail(tr("undelete takes the number merivo-tool deleted shows, not %1.").arg(number), 2);
    return withDeleted([&](DeletedContacts &deleted, const std::vector<DeletedContact> &contacts) {
        QString name;
        for (const DeletedContact &contact : contacts) {
            if (contact.number == chosen)
                name = contact.values[fieldIndex(ContactField::Name)];
        }
        if (!deleted.undelete(chosen))
            return fail(deleted.lastError());
        say(tr("Brought back %1. The next sync sends it to the servers again.").arg(name));
        return 0;
    });
}
