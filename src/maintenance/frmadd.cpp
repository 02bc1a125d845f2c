#include "frmadd.h"

#include "FindByName.h"
#include "contacts/Recordset.h"
#include "recordform/DataControl.h"
#include "toolkit/Controls.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Fonts.h"
#include "toolkit/Pictures.h"
#include "toolkit/Program.h"

#include <QLineEdit>

namespace {

RecordFormStyle addFormStyle()
{
    RecordFormStyle style;
    style.caption = QCoreApplication::translate("frmadd", "Add & Delete Record");
    style.clientTwips = QSize(7680, 7335);
    style.frameTwips = QRect(120, 120, 7575, 7215);
    style.blanksBeforeCaption = 19;
    style.whiteBackground = true;
    style.welcomeTop = 480;
    style.welcomeWidth = 4455;
    style.navigationBarOnForm = true;
    style.scrollBars = false;
    style.officePhoneLabelName = QStringLiteral("lblofficephone");
    style.nameLimit = 20;
    style.addressLimit = 50;
    style.buttonFont = dialogFont(8.25, true);
    style.exitTwips = QRect(6000, 6120, 1245, 855);
    style.exitToolTip = QCoreApplication::translate("frmadd", "Exit");
    return style;
}

} // namespace

frmadd::frmadd(Program &program, UserNameSource currentUserName)
    : RecordForm(program, QStringLiteral("frmadd"), addFormStyle(), std::move(currentUserName))
{
    setWindowIcon(Pictures::windowIcon());
    cmdAdd = addCommandButton(this, QStringLiteral("cmdAdd"), tr("&Add"), tr("Add"), QRect(840, 6120, 1275, 855),
                              QStringLiteral("add"));
    // The Find button lies inside the frame, which starts at (120, 120).
    cmdFind = addCommandButton(Record, QStringLiteral("cmdFind"), tr("&Find"), tr("Find"),
                               QRect(2760 - 120, 6120 - 120, 1215, 855), QStringLiteral("find"));
    cmdDelete = addCommandButton(this, QStringLiteral("cmdDelete"), tr("&Delete"), tr("Delete"),
                                 QRect(4440, 6120, 1245, 855), QStringLiteral("delete"));
    // Save and Cancel lie in front of Delete and Exit, in their places.
    cmdok = addCommandButton(this, QStringLiteral("cmdok"), tr("Save"), tr("Save"), QRect(4440, 6120, 1275, 855),
                             QStringLiteral("save"));
    cmdCancel = addCommandButton(this, QStringLiteral("cmdCancel"), tr("&Cancel"), tr("Cancel"),
                                 QRect(6000, 6120, 1275, 855), QStringLiteral("cancel"));
    for (CommandButton *button : {cmdAdd, cmdDelete, cmdExit})
        button->setBackground(Qt::white);
    for (CommandButton *button : {cmdFind, cmdok, cmdCancel})
        button->setBackground(palette().color(QPalette::HighlightedText));
    cmdok->hide();
    cmdCancel->hide();
    setDefaultButton(cmdAdd);

    setTabOrder(txtWeb, cmdAdd);
    setTabOrder(cmdAdd, cmdFind);
    setTabOrder(cmdFind, cmdDelete);
    setTabOrder(cmdDelete, cmdExit);
    setTabOrder(cmdExit, cmdok);
    setTabOrder(cmdok, cmdCancel);

    connect(cmdAdd, &QPushButton::clicked, this, &frmadd::cmdAdd_Click);
    connect(cmdFind, &QPushButton::clicked, this, &frmadd::cmdFind_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmadd::cmdDelete_Click);
    connect(cmdok, &QPushButton::clicked, this, &frmadd::cmdok_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmadd::cmdCancel_Click);
}

void frmadd::cmdAdd_Click()
{
    if (program().dialogs().messageBox(tr("Do you want to add a new contact ?"), MsgBox::YesNoExclamation, tr("Add"))
        != MsgBox::Yes)
        return;
    if (!Data1->Recordset()->AddNew()) {
        reportStoreFailure(Data1->Recordset()->lastError());
        return;
    }
    Data1->setVisible(false);
    cmdFind->hide();
    cmdok->show();
    cmdCancel->show();
    cmdAdd->hide();
    cmdDelete->hide();
    txtName->setFocus();
    setTextBoxesLocked(false);
    txtName->setFocus();
    setDefaultButton(cmdok);
}

void frmadd::cmdFind_Click()
{
    FindByName::run(program().dialogs(), *Data1, QStringLiteral("Name= "));
}

void frmadd::cmdDelete_Click()
{
    if (txtName->text().isEmpty()) {
        program().dialogs().messageBox(QString(), MsgBox::OkOnly, tr("No record found"));
        txtName->setFocus();
        return;
    }
    if (program().dialogs().messageBox(tr("Do you want to delete?%1?").arg(txtName->text()), MsgBox::OkCancel)
        != MsgBox::Ok)
        return;
    Recordset *records = Data1->Recordset();
    if (!records->Delete()) {
        reportStoreFailure(records->lastError());
        return;
    }
    records->MoveNext();
}

void frmadd::cmdok_Click()
{
    if (txtName->text().isEmpty()) {
        program().dialogs().messageBox(QString(), MsgBox::OkOnly, tr("No record available "));
        txtName->setFocus();
        return;
    }
    // Whatever keeps the contact from being stored is told, and the form
    // stays in adding with everything typed, so nothing is lost.
    if (!Data1->UpdateRecord()) {
        reportStoreFailure(Data1->lastError());
        return;
    }
    Recordset *records = Data1->Recordset();
    records->setBookmark(records->LastModified());
    Data1->Refresh();
    showBrowsingButtons();
}

void frmadd::cmdCancel_Click()
{
    showBrowsingButtons();
    Data1->Recordset()->CancelUpdate();
    txtName->setFocus();
}

void frmadd::showBrowsingButtons()
{
    cmdok->hide();
    cmdCancel->hide();
    cmdAdd->show();
    cmdDelete->show();
    Data1->setVisible(true);
    cmdFind->show();
}
