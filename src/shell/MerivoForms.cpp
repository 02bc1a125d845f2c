#include "MerivoForms.h"

#include "MDIMain.h"
#include "Module1.h"
#include "PlaceholderForm.h"
#include "frmabout.h"
#include "frmlogin.h"
#include "frmsplash.h"
#include "toolkit/Program.h"

void registerMerivoForms(Program &program, Module1 &module1)
{
    program.registerForm(QStringLiteral("frmsplash"), [](Program &p) { return new frmsplash(p); });
    program.registerForm(QStringLiteral("frmlogin"), [&module1](Program &p) { return new frmlogin(p, module1); });
    program.registerForm(QStringLiteral("MDIMain"), [](Program &p) { return new MDIMain(p); });
    program.registerForm(QStringLiteral("frmabout"), [](Program &p) { return new frmabout(p); });
    program.registerForm(QStringLiteral("frmadd"), [](Program &p) {
        return new PlaceholderForm(p, QStringLiteral("frmadd"), QStringLiteral("Add & Delete Record"));
    });
    program.registerForm(QStringLiteral("frmfind"), [](Program &p) {
        return new PlaceholderForm(p, QStringLiteral("frmfind"), QStringLiteral("Find & Edit Record"));
    });
    program.registerForm(QStringLiteral("frmPrint"), [](Program &p) {
        return new PlaceholderForm(p, QStringLiteral("frmPrint"), QStringLiteral("PrintRecord"));
    });
}
