#pragma once

#include "CapturingPrinter.h"
#include "ScriptedDialogs.h"
#include "shell/Module1.h"
#include "toolkit/Program.h"

#include <QTemporaryDir>

#include <memory>

// The whole program with scripted boxes and its own temporary data directory.
class TestProgram
{
public:
    TestProgram();

    Program &program() { return *m_program; }
    ScriptedDialogs &dialogs() { return m_dialogs; }
    CapturingPrinter &printer() { return m_printer; }
    Module1 &module1() { return m_module1; }
    QString dataDirectory() const { return m_dir.path(); }

    template<typename T>
    T *show(const QString &name)
    {
        return qobject_cast<T *>(m_program->Show(name));
    }
    template<typename T>
    T *form(const QString &name)
    {
        return m_program->form<T>(name);
    }
    // Names of the forms that are open and visible.
    QStringList visibleForms() const;
    // Lets queued work (deferred deletes, the end-of-program check) run.
    static void settle();

private:
    QTemporaryDir m_dir;
    ScriptedDialogs m_dialogs;
    CapturingPrinter m_printer;
    Module1 m_module1;
    std::unique_ptr<Program> m_program;
};
