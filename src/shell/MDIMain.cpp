#include "MDIMain.h"

#include "printing/ReportControl.h"
#include "report/ReportDefinition.h"
#include "toolkit/Program.h"
#include "toolkit/Twips.h"

#include <QAction>
#include <QDir>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

namespace {

QAction *addCommand(QWidget *menu, const QString &name, const QString &caption)
{
    auto *action = new QAction(caption, menu);
    action->setObjectName(name);
    menu->addAction(action);
    return action;
}

} // namespace

MDIMain::MDIMain(Program &program)
    : Form(program, QStringLiteral("MDIMain"))
{
    setCaption(tr("Merivo"));

    menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    mnumain = menuBar->addMenu(tr("Address &Book"));
    mnumain->setObjectName(QStringLiteral("mnumain"));
    mnumain->menuAction()->setObjectName(QStringLiteral("mnumainAction"));
    mnuaddrecord = addCommand(mnumain, QStringLiteral("mnuaddrecord"), tr("&Add Record"));
    mnuupdatetrecord = addCommand(mnumain, QStringLiteral("mnuupdatetrecord"), tr("&Update Record"));
    mnufind = addCommand(mnumain, QStringLiteral("mnufind"), tr("&Find Rrecord"));
    mnuprint = addCommand(mnumain, QStringLiteral("mnuprint"), tr("&Print Record"));
    report = addCommand(menuBar, QStringLiteral("report"), tr("&Report"));
    mnuabout = addCommand(menuBar, QStringLiteral("mnuabout"), tr("&About"));
    mnuexit = addCommand(menuBar, QStringLiteral("mnuexit"), tr("E&xit"));

    // The workspace stays empty: every other window is a top-level window of its own.
    workspace = new QMdiArea(this);
    workspace->setObjectName(QStringLiteral("workspace"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar);
    layout->addWidget(workspace);

    ReportControl1 = new ReportControl(program.dialogs(), program.printer(), this);
    ReportControl1->setObjectName(QStringLiteral("ReportControl1"));

    setClientAreaTwips(6660, 4185, Border::Sizable);
    resize(width(), height() + menuBar->sizeHint().height());

    connect(mnuaddrecord, &QAction::triggered, this, &MDIMain::mnuaddrecord_Click);
    connect(mnuupdatetrecord, &QAction::triggered, this, &MDIMain::mnuupdatetrecord_Click);
    connect(mnufind, &QAction::triggered, this, &MDIMain::mnufind_Click);
    connect(mnuprint, &QAction::triggered, this, &MDIMain::mnuprint_Click);
    connect(report, &QAction::triggered, this, &MDIMain::report_Click);
    connect(mnuabout, &QAction::triggered, this, &MDIMain::mnuabout_Click);
    connect(mnuexit, &QAction::triggered, this, &MDIMain::mnuexit_Click);
}

void MDIMain::mnuaddrecord_Click()
{
    program().Show(QStringLiteral("frmadd"));
}

void MDIMain::mnuupdatetrecord_Click()
{
    program().Show(QStringLiteral("frmfind"));
    program().Hide(QStringLiteral("frmPrint"));
    program().Hide(QStringLiteral("frmadd"));
}

void MDIMain::mnufind_Click()
{
    program().Show(QStringLiteral("frmfind"));
    program().Show(objectName());
    program().Show(QStringLiteral("frmfind"));
}

void MDIMain::mnuprint_Click()
{
    program().Hide(QStringLiteral("frmfind"));
    program().Show(QStringLiteral("frmPrint"));
    program().Hide(QStringLiteral("frmadd"));
}

void MDIMain::report_Click()
{
    // By number: 3 the report definition, 34 fresh data, 17 = 1 produces the report.
    ReportControl1->assign(3, QDir(program().dataDirectory()).filePath(ReportDefinitionFile::FileName));
    ReportControl1->assign(34, true);
    ReportControl1->assign(17, QVariant::fromValue<qint16>(1));
}

void MDIMain::mnuabout_Click()
{
    program().Show(QStringLiteral("frmabout"));
}

void MDIMain::mnuexit_Click()
{
    program().Unload(objectName());
}
