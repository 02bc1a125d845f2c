#include "frmPrint.h"

#include "maintenance/FindByName.h"
#include "recordform/DataControl.h"
#include "toolkit/Controls.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Program.h"

#include <QLineEdit>
#include <QScrollBar>

namespace {

RecordFormStyle printFormStyle()
{
    RecordFormStyle style;
    style.caption = QCoreApplication::translate("frmPrint", "PrintRecord");
    style.clientTwips = QSize(7875, 6945);
    style.frameTwips = QRect(120, 0, 7575, 5895);
    style.blanksBeforeCaption = 27;
    style.welcomeLabelName = QStringLiteral("lblwelcome");
    style.positionLabelName = QStringLiteral("lblPosititon");
    style.officePhoneBoxName = QStringLiteral("txtOfficePhone");
    style.exitTwips = QRect(5520, 6000, 1245, 855);
    style.exitToolTip = QCoreApplication::translate("frmPrint", "Exit");
    return style;
}

} // namespace

frmPrint::frmPrint(Program &program, UserNameSource currentUserName)
    : RecordForm(program, QStringLiteral("frmPrint"), printFormStyle(), std::move(currentUserName))
{
    cmdPrint = addCommandButton(this, QStringLiteral("cmdPrint"), tr("&Print Prewiew"), tr("Print Prewiew"),
                                QRect(1080, 6000, 1245, 855), QStringLiteral("preview"));
    cmdFind = addCommandButton(this, QStringLiteral("cmdFind"), tr("&Find"), tr("Find"), QRect(3300, 6000, 1245, 855),
                               QStringLiteral("find"));
    setDefaultButton(cmdPrint);

    // This form keeps its own focus order: the scroll bars, the boxes from
    // the bottom up, the buttons, and last the office phone box.
    const QList<QWidget *> order = {VScroll2,   VScroll1, txtWeb(0), txtEmail(1), txtOfficeaddress,
                                    txtPosition, txtPhone, txtAddress, txtName, cmdFind,
                                    cmdExit,    cmdPrint, txtOfficePhone};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    VScroll2->setFocus();

    txtEmail(1)->setProperty("Index", txtEmail.index());
    txtWeb(0)->setProperty("Index", txtWeb.index());

    connect(cmdPrint, &QPushButton::clicked, this, &frmPrint::cmdPrint_Click);
    connect(cmdFind, &QPushButton::clicked, this, &frmPrint::cmdFind_Click);
}

void frmPrint::cmdPrint_Click()
{
    // An empty name is the one sign that no contact is on display.
    if (txtName->text().isEmpty()) {
        program().dialogs().messageBox(QString(), MsgBox::OkOnly, tr("No record available "));
        txtName->setFocus();
        return;
    }
    // The preview copies the values from this form while it loads.
    program().Show(QStringLiteral("frmPrintpre"));
    program().Unload(objectName());
}

void frmPrint::cmdFind_Click()
{
    FindByName::run(program().dialogs(), *Data1, QStringLiteral("name= "));
}
