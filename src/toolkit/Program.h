#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class Dialogs;
class Form;
class Printer;

// The running program: one slot per form, holding that form's single
// instance while it is open, and the services every form shares. Forms reach
// each other only through this object.
//
// The program ends when, after an event has been handled, none of its
// windows is visible; forms that are only hidden do not keep it alive.
class Program : public QObject
{
    Q_OBJECT

public:
    using Factory = std::function<Form *(Program &)>;

    Program(Dialogs &dialogs, Printer &printer, const QString &dataDirectory, QObject *parent = nullptr);
    ~Program() override;

    Dialogs &dialogs() const { return m_dialogs; }
    Printer &printer() const { return m_printer; }
    // The fixed directory of the contact database and the report definition.
    QString dataDirectory() const { return m_dataDirectory; }

    void registerForm(const QString &name, Factory factory);

    // Loads a closed form (its load procedure runs to completion first) and
    // shows it; an open form is shown as it is and brought to the front.
    Form *Show(const QString &name);
    // Hides an open form, keeping all its state; a closed form stays closed.
    void Hide(const QString &name);
    // Destroys an open form with its state. Safe from the form's own handlers.
    void Unload(const QString &name);

    Form *form(const QString &name) const;
    template<typename T>
    T *form(const QString &name) const
    {
        return qobject_cast<T *>(form(name));
    }
    bool isOpen(const QString &name) const { return form(name) != nullptr; }
    bool isVisible(const QString &name) const;

Q_SIGNALS:
    // No window of the program is visible any more: the run is over.
    void finished();

private:
    void scheduleEndCheck();
    void checkEnd();

    Dialogs &m_dialogs;
    Printer &m_printer;
    QString m_dataDirectory;
    QHash<QString, Factory> m_factories;
    QHash<QString, QPointer<Form>> m_open;
    bool m_endCheckPending = false;
    int m_endCheckLoopLevel = 0; // the event loop the check belongs to
    bool m_ended = false;
};
