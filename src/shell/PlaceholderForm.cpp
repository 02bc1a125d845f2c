#include "PlaceholderForm.h"

#include "toolkit/Controls.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Program.h"

PlaceholderForm::PlaceholderForm(Program &program, const QString &name, const QString &caption)
    : Form(program, name)
{
    setWindowTitle(caption);
    setClientAreaTwips(7680, 7335, Border::FixedSingle);
    cmdExit = new CommandButton(this, QStringLiteral("cmdExit"), tr("E&xit"), QRect(6000, 6120, 1245, 855));
    cmdExit->setToolTip(tr("Exit"));
    connect(cmdExit, &QPushButton::clicked, this, &PlaceholderForm::cmdExit_Click);
}

void PlaceholderForm::cmdExit_Click()
{
    if (program().dialogs().messageBox(tr("Do you want to exit ?"), MsgBox::YesNoExclamation, tr("Exit")) != MsgBox::Yes)
        return;
    program().Show(QStringLiteral("MDIMain"));
    program().Unload(objectName());
}
