#include "TestProgram.h"

#include "shell/MerivoForms.h"
#include "toolkit/Form.h"

#include <QCoreApplication>
#include <QTest>

TestProgram::TestProgram()
    : m_program(std::make_unique<Program>(m_dialogs, m_printer, m_dir.path()))
{
    registerMerivoForms(*m_program, m_module1);
}

QStringList TestProgram::visibleForms() const
{
    static const QStringList names = {
        QStringLiteral("frmsplash"), QStringLiteral("frmlogin"), QStringLiteral("MDIMain"),
        QStringLiteral("frmabout"),  QStringLiteral("frmadd"),   QStringLiteral("frmfind"),
        QStringLiteral("frmPrint"),  QStringLiteral("frmPrintpre"),
    };
    QStringList visible;
    for (const QString &name : names) {
        if (m_program->isVisible(name))
            visible.append(name);
    }
    return visible;
}

void TestProgram::settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}
