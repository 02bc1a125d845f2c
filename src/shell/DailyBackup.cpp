#include "shell/DailyBackup.h"

#include "contacts/ContactFileCheck.h"
#include "contacts/DatabaseBackup.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>

DailyBackup::DailyBackup(const QString &databasePath, QDate today, QObject *parent)
    : QObject(parent), m_databasePath(databasePath), m_today(today)
{
    QTimer::singleShot(0, this, &DailyBackup::start);
}

DailyBackup::~DailyBackup()
{
    if (m_thread)
        m_thread->wait();
}

void DailyBackup::start()
{
    if (m_thread)
        return;
    m_thread = QThread::create([this] { m_outcome = makeCopy(m_databasePath, m_today); });
    m_thread->setParent(this);
    connect(m_thread, &QThread::finished, this, [this] { Q_EMIT finished(m_outcome); });
    m_thread->start(QThread::LowPriority);
}

QString DailyBackup::copyPath(const QString &databasePath, QDate day)
{
    return DatabaseBackup::backupPath(databasePath, day.toString(QStringLiteral("yyyy-MM-dd")));
}

DailyBackup::Outcome DailyBackup::makeCopy(const QString &databasePath, QDate today, QString *error)
{
    const QString target = copyPath(databasePath, today);
    if (QFileInfo::exists(target))
        return Outcome::AlreadyThere;
    // A missing, empty or foreign file is none of ours to copy.
    const ContactFileCheck::Verdict verdict = ContactFileCheck::inspect(databasePath, DatabaseBackup::BusyTimeoutMs).verdict;
    if (verdict == ContactFileCheck::Verdict::Missing || verdict == ContactFileCheck::Verdict::Empty
        || verdict == ContactFileCheck::Verdict::Refused)
        return Outcome::NothingToCopy;
    if (!DatabaseBackup::copy(databasePath, target, error))
        return Outcome::Failed;

    // Daily copies only: those that merivo-tool made on request stay.
    const QFileInfo database(databasePath);
    const QString suffix = database.suffix().isEmpty() ? QString() : QLatin1Char('.') + database.suffix();
    const QRegularExpression daily(QLatin1Char('^') + QRegularExpression::escape(database.completeBaseName())
                                   + QStringLiteral("-\\d{4}-\\d{2}-\\d{2}") + QRegularExpression::escape(suffix)
                                   + QLatin1Char('$'));
    QDir folder(DatabaseBackup::backupFolder(databasePath));
    QStringList copies = folder.entryList(QDir::Files, QDir::Name | QDir::Reversed);
    copies.removeIf([&](const QString &name) { return !daily.match(name).hasMatch(); });
    for (qsizetype i = Kept; i < copies.size(); ++i)
        folder.remove(copies.at(i));
    return Outcome::Copied;
}
