#include "shell/DailyBackup.h"

#include "contacts/ContactFileCheck.h"
#include "contacts/DatabaseBackup.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

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
    bool wasThere = false;
    if (!DatabaseBackup::copyNew(databasePath, target, error, &wasThere))
        return wasThere ? Outcome::AlreadyThere : Outcome::Failed;
    removeOldCopies(databasePath, today);
    return Outcome::Copied;
}

void DailyBackup::removeOldCopies(const QString &databasePath, QDate today)
{
    // Daily copies only: those that merivo-tool made on request stay. They
    // go by the day in their names, newest first; a copy dated after today
    // (made while the clock was wrong) is left alone, so that it never
    // pushes out the copy just made.
    const QFileInfo database(databasePath);
    const QString suffix = database.suffix().isEmpty() ? QString() : QLatin1Char('.') + database.suffix();
    const QRegularExpression daily(QLatin1Char('^') + QRegularExpression::escape(database.completeBaseName())
                                   + QStringLiteral("-(\\d{4}-\\d{2}-\\d{2})") + QRegularExpression::escape(suffix)
                                   + QLatin1Char('$'));
    QDir folder(DatabaseBackup::backupFolder(databasePath));
    std::vector<std::pair<QDate, QString>> copies;
    for (const QString &name : folder.entryList(QDir::Files)) {
        const QRegularExpressionMatch match = daily.match(name);
        const QDate day = QDate::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd"));
        if (match.hasMatch() && day.isValid() && day <= today)
            copies.emplace_back(day, name);
    }
    std::sort(copies.begin(), copies.end(), std::greater<>());
    for (size_t i = Kept; i < copies.size(); ++i)
        folder.remove(copies[i].second);
}
