#include "frmlogin.h"

#include "Module1.h"
#include "toolkit/Controls.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Fonts.h"
#include "toolkit/Pictures.h"
#include "toolkit/Program.h"

#include <QLabel>
#include <QLineEdit>

namespace {
const QString Password = QStringLiteral("qard");
}

frmlogin::frmlogin(Program &program, Module1 &module1)
    : Form(program, QStringLiteral("frmlogin"))
    , m_module1(module1)
{
    setCaption(tr("Login"));
    setClientAreaTwips(7485, 5595, Border::Sizable);

    const QFont buttonFont = dialogFont(9.75, true);
    cmdExit = new CommandButton(this, QStringLiteral("cmdExit"), tr("E&xit"), QRect(4320, 4320, 1455, 975));
    cmdExit->setToolTip(tr("Exit"));
    cmdExit->setIcon(Pictures::buttonIcon(QStringLiteral("exit")));
    cmdExit->setFont(buttonFont);
    cmdproceed = new CommandButton(this, QStringLiteral("cmdproceed"), tr("Proceed"), QRect(1440, 4320, 1455, 975));
    cmdproceed->setToolTip(tr("Proceed"));
    cmdproceed->setIcon(Pictures::buttonIcon(QStringLiteral("proceed")));
    cmdproceed->setFont(buttonFont);
    setDefaultButton(cmdproceed);

    Frame1 = new FrameBox(this, QStringLiteral("Frame1"), QString(29, u' ') + tr("Orvant") + QString(4, u' '),
                          QRect(120, 120, 7215, 3975));
    Frame1->setCaptionStyle(dialogFont(12, true), Colours::Red);

    txtpassword = makeTextBox(Frame1, QStringLiteral("txtpassword"), QRect(2160, 2640, 3855, 375));
    showTypingAsStars(txtpassword);
    txtpassword->setAccessibleName(tr("Password"));
    txtlogin = makeTextBox(Frame1, QStringLiteral("txtlogin"), QRect(2160, 1920, 3855, 375));
    txtlogin->setAccessibleName(tr("Login"));
    // The logo's top lies above the frame's top edge and is cut off there.
    imgLogo = makeLogo(Frame1, QStringLiteral("imgLogo"), QRect(120, -120, 1515, 1170));
    lblwarning = makeLabel(Frame1, QStringLiteral("lblwarning"), QString(), QRect(2280, 3360, 3615, 375),
                           dialogFont(12, true), Colours::Red);
    const QFont labelFont = dialogFont(9.75, true);
    Label4 = makeLabel(Frame1, QStringLiteral("Label4"), tr("Password:"), QRect(600, 2760, 1335, 375), labelFont);
    Label3 = makeLabel(Frame1, QStringLiteral("Label3"), tr("Login:"), QRect(600, 2040, 1575, 375), labelFont);
    Label2 = makeLabel(Frame1, QStringLiteral("Label2"), tr("Merivo"), QRect(1920, 480, 3495, 375),
                       dialogFont(12, true), Colours::Black);
    Label1 = makeLabel(Frame1, QStringLiteral("Label1"), tr("Please enter your login  name and password"),
                       QRect(600, 1200, 6495, 495), dialogFont(13.5, true));

    setTabOrder(txtlogin, txtpassword);
    setTabOrder(txtpassword, cmdproceed);
    setTabOrder(cmdproceed, cmdExit);
    txtlogin->setFocus();

    connect(cmdproceed, &QPushButton::clicked, this, &frmlogin::cmdproceed_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmlogin::cmdExit_Click);
}

void frmlogin::cmdproceed_Click()
{
    if (txtlogin->text().isEmpty()) {
        program().dialogs().messageBox(QString(), MsgBox::OkOnly, tr("Please enter login name"));
        txtlogin->setFocus();
        return;
    }
    if (txtpassword->text() != Password) {
        txtpassword->clear();
        txtpassword->setFocus();
        lblwarning->setText(tr("Wrong Password! Try Again."));
        return;
    }
    m_module1.setCurrentUserName(txtlogin->text());
    program().Unload(objectName());
    program().Show(QStringLiteral("MDIMain"));
}

void frmlogin::cmdExit_Click()
{
    if (program().dialogs().messageBox(tr("Do you want to exit ?"), MsgBox::YesNoExclamation, tr("Exit")) == MsgBox::Yes)
        program().Unload(objectName());
}
