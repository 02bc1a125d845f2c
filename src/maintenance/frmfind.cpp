#include "frmfind.h"

#include "FindByName.h"
#include "contacts/Recordset.h"
#include "recordform/DataControl.h"
#include "toolkit/Controls.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Fonts.h"
#include "toolkit/Program.h"

#include <QLineEdit>
#include <QScrollBar>

namespace {

RecordFormStyle findFormStyle()
{
    RecordFormStyle style;
    style.caption = QCoreApplication::translate("frmfind", "Find & Edit Record");
    style.clientTwips = QSize(7785, 7080);
    style.frameTwips = QRect(120, 0, 7575, 7095);
    style.blanksBeforeCaption = 19;
    style.buttonFont = dialogFont(8.25, true);
    style.exitTwips = QRect(5760, 6000, 1095, 975);
    return style;
}

} // namespace

frmfind::frmfind(Program &program, UserNameSource currentUserName)
    : RecordForm(program, QStringLiteral("frmfind"), findFormStyle(), std::move(currentUserName))
{
    // Created back to front: Update lies over Edit and Cancel over Exit.
    cmdFind = addCommandButton(this, QStringLiteral("cmdFind"), tr("&Find "), tr("Find"), QRect(720, 6000, 1095, 975),
                               QStringLiteral("find"));
    cmdEdit = addCommandButton(this, QStringLiteral("cmdEdit"), tr("Edit"), QString(), QRect(3360, 6000, 1095, 975),
                               QStringLiteral("edit"));
    cmdUpdate = addCommandButton(this, QStringLiteral("cmdUpdate"), tr("Update"), tr("Update"),
                                 QRect(3360, 6000, 1095, 975), QStringLiteral("update"));
    cmdCancel = addCommandButton(this, QStringLiteral("cmdCancel"), tr("&Cancel"), tr("Cancel"),
                                 QRect(5760, 6000, 1095, 975), QStringLiteral("cancel"));
    cmdUpdate->hide();
    cmdCancel->hide();
    setDefaultButton(cmdFind);

    setTabOrder(txtWeb, cmdFind);
    setTabOrder(cmdFind, cmdEdit);
    setTabOrder(cmdEdit, cmdExit);
    setTabOrder(cmdExit, VScroll2);
    setTabOrder(VScroll2, VScroll1);
    setTabOrder(VScroll1, cmdUpdate);
    setTabOrder(cmdUpdate, cmdCancel);

    connect(cmdFind, &QPushButton::clicked, this, &frmfind::cmdFind_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &frmfind::cmdEdit_Click);
    connect(cmdUpdate, &QPushButton::clicked, this, &frmfind::cmdUpdate_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmfind::cmdCancel_Click);
}

void frmfind::cmdFind_Click()
{
    FindByName::run(program().dialogs(), *Data1, QStringLiteral("name= "), [this] {
        cmdFind->setVisible(false);
        setDefaultButton(cmdEdit);
    });
}

void frmfind::cmdEdit_Click()
{
    if (txtName->text().isEmpty()) {
        program().dialogs().messageBox(QString(), MsgBox::OkOnly, tr("No record available "));
        txtName->setFocus();
        return;
    }
    if (program().dialogs().messageBox(tr("Do you want to edit %1 ?").arg(txtName->text()), MsgBox::YesNoExclamation,
                                       tr("Edit"))
        != MsgBox::Yes)
        return;
    // The store is asked first, so that a contact it cannot open for change
    // leaves the form as it was.
    if (!Data1->Recordset()->Edit()) {
        reportStoreFailure(Data1->Recordset()->lastError());
        return;
    }
    setTextBoxesLocked(false);
    cmdUpdate->show();
    cmdCancel->show();
    cmdFind->hide();
    setDefaultButton(cmdUpdate);
    txtName->setFocus();
}

void frmfind::cmdUpdate_Click()
{
    Recordset *records = Data1->Recordset();
    if (!records->Update()) {
        reportStoreFailure(records->lastError());
        // While the edit is still open (a locked or full disk), the user may
        // try again or cancel; an edit the store has ended cannot be saved.
        if (records->editMode() != Recordset::EditMode::None)
            return;
    }
    endEditButtons();
    txtName->setFocus();
}

void frmfind::cmdCancel_Click()
{
    Data1->Recordset()->CancelUpdate();
    endEditButtons();
    txtName->setFocus();
}

void frmfind::endEditButtons()
{
    cmdCancel->hide();
    cmdUpdate->hide();
    cmdFind->show();
}
