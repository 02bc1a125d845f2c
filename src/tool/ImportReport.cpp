#include "tool/ImportReport.h"

#include "tool/Utf8Text.h"

void NotKept::add(QByteArrayView name, qint64 count)
{
    const QByteArray key = name.toByteArray();
    const auto found = m_index.constFind(key);
    if (found != m_index.constEnd()) {
        m_entries[*found].second += count;
        return;
    }
    m_index.insert(key, qsizetype(m_entries.size()));
    m_entries.emplace_back(QString::fromUtf8(name), count);
}

QStringList ImportReport::lines(const QString &file, const QString &database) const
{
    QStringList lines{added == 1 ? tr("Imported %1 (%2) into %3: 1 contact added.").arg(file, format, database)
                                 : tr("Imported %1 (%2) into %3: %4 contacts added.")
                                       .arg(file, format, database, QString::number(added))};
    if (duplicates > 0)
        lines.append(tr("Skipped as exact duplicates of contacts already there: %1.").arg(duplicates));
    if (withoutName > 0)
        lines.append(tr("Skipped for want of a name: %1.").arg(withoutName));
    if (converted > 0)
        lines.append(Utf8Text::conversionNote(converted));
    if (notKept.isEmpty()) {
        lines.append(tr("Not kept: nothing."));
    } else {
        QStringList parts;
        for (const auto &[name, count] : notKept.entries())
            parts.append(tr("%1 (%2)").arg(name, QString::number(count)));
        lines.append(tr("Not kept: %1.").arg(parts.join(QStringLiteral(", "))));
    }
    if (restoreHint) {
        lines.append(tr("To replace the contacts of %1 with those of %2 instead of adding them, run: merivo-tool "
                        "restore %2")
                         .arg(database, file));
    }
    return lines;
}
