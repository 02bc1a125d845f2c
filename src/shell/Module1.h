#pragma once

#include <QString>

// The one value the windows share: the login name of this run, as typed.
// Empty at start, set once by a successful login, never cleared.
class Module1
{
public:
    QString currentUserName() const { return m_currentUserName; }
    void setCurrentUserName(const QString &name) { m_currentUserName = name; }

private:
    QString m_currentUserName;
};
