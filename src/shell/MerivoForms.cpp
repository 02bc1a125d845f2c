#include "MerivoForms.h"

#include "MDIMain.h"
#include "Module1.h"
#include "frmabout.h"
#include "frmlogin.h"
#include "frmsplash.h"
#include "maintenance/frmadd.h"
#include "maintenance/frmfind.h"
#include "printing/frmPrint.h"
#include "printing/frmPrintpre.h"
#include "toolkit/Program.h"

void registerMerivoForms(Program &program, Module1 &module1)
{
    program.registerForm(QStringLiteral("frmsplash"), [](Program &p) { return new frmsplash(p); });
    program.registerForm(QStringLiteral("frmlogin"), [&module1](Program &p) { return new frmlogin(p, module1); });
    program.registerForm(QStringLiteral("MDIMain"), [](Program &p) { return new MDIMain(p); });
    program.registerForm(QStringLiteral("frmabout"), [](Program &p) { return new frmabout(p); });
    // The record forms greet the user logged in at the moment they load.
    const auto currentUserName = [&module1] { return module1.currentUserName(); };
    program.registerForm(QStringLiteral("frmadd"), [=](Program &p) { return new frmadd(p, currentUserName); });
    program.registerForm(QStringLiteral("frmfind"), [=](Program &p) { return new frmfind(p, currentUserName); });
    program.registerForm(QStringLiteral("frmPrint"), [=](Program &p) { return new frmPrint(p, currentUserName); });
    program.registerForm(QStringLiteral("frmPrintpre"), [](Program &p) { return new frmPrintpre(p); });
}
