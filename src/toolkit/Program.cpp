#include "Program.h"

#include "Form.h"

#include <QApplication>
#include <QStringList>
#include <QThread>
#include <QTimer>

Program::Program(Dialogs &dialogs, Printer &printer, const QString &dataDirectory, QObject *parent)
    : QObject(parent)
    , m_dialogs(dialogs)
    , m_printer(printer)
    , m_dataDirectory(dataDirectory)
{
}

Program::~Program()
{
    for (const QPointer<Form> &form : std::as_const(m_open))
        delete form.data();
}

void Program::registerForm(const QString &name, Factory factory)
{
    m_factories.insert(name, std::move(factory));
}

Form *Program::Show(const QString &name)
{
    Form *form = this->form(name);
    if (!form) {
        const auto factory = m_factories.constFind(name);
        Q_ASSERT_X(factory != m_factories.constEnd(), "Program::Show", "form not registered");
        if (factory == m_factories.constEnd())
            return nullptr;
        form = (*factory)(*this);
        m_open.insert(name, form);
        form->Form_Load();
    }
    form->show();
    form->raise();
    form->activateWindow();
    return form;
}

void Program::Hide(const QString &name)
{
    if (Form *form = this->form(name)) {
        form->hide();
        scheduleEndCheck();
    }
}

void Program::Unload(const QString &name)
{
    Form *form = this->form(name);
    if (!form)
        return;
    m_open.remove(name);
    // The form may be unloading itself from one of its own handlers: it
    // vanishes now and is destroyed once that handler has returned.
    form->hide();
    form->deleteLater();
    scheduleEndCheck();
}

Form *Program::form(const QString &name) const
{
    return m_open.value(name).data();
}

bool Program::isVisible(const QString &name) const
{
    const Form *form = this->form(name);
    return form && form->isVisible();
}

void Program::scheduleEndCheck()
{
    const int loopLevel = QThread::currentThread()->loopLevel();
    if (m_endCheckPending) {
        m_endCheckLoopLevel = qMin(m_endCheckLoopLevel, loopLevel);
        return;
    }
    if (m_ended)
        return;
    m_endCheckPending = true;
    m_endCheckLoopLevel = loopLevel;
    // Queued, so that a handler that closes its own window and then shows
    // another does not end the program half-way.
    QMetaObject::invokeMethod(this, &Program::checkEnd, Qt::QueuedConnection);
}

void Program::checkEnd()
{
    m_endCheckPending = false;
    if (m_ended)
        return;
    // A handler is still waiting for an answer, or its box has just been
    // answered but its own event loop has not returned to the handler yet:
    // look again once the handler can go on.
    if (QApplication::activeModalWidget() || QThread::currentThread()->loopLevel() > m_endCheckLoopLevel) {
        m_endCheckPending = true;
        QTimer::singleShot(50, this, &Program::checkEnd);
        return;
    }
    for (const QPointer<Form> &form : std::as_const(m_open)) {
        if (form && form->isVisible())
            return;
    }
    m_ended = true;
    // Hidden forms go with the program.
    const QStringList names = m_open.keys();
    for (const QString &name : names)
        Unload(name);
    Q_EMIT finished();
}
