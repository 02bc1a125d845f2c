#include "frmabout.h"

#include "toolkit/Controls.h"
#include "toolkit/Fonts.h"
#include "toolkit/Program.h"

#include <QLabel>

frmabout::frmabout(Program &program)
    : Form(program, QStringLiteral("frmabout"))
{
    setCaption(tr("About"));
    setClientAreaTwips(6990, 4560, Border::FixedSingle);
    setBackgroundColour(this, Qt::white);

    Frame1 = new FrameBox(this, QStringLiteral("Frame1"), QString(36, u' ') + tr("Orvant"), QRect(120, 0, 6735, 4455));
    Frame1->setCaptionStyle(dialogFont(13.5, true), Colours::Red);

    Command1 = new CommandButton(Frame1, QStringLiteral("Command1"), tr("OK"), QRect(4920, 3360, 1215, 495));
    Command1->setToolTip(tr("Return Main"));
    Command1->setFont(dialogFont(9.75));
    setDefaultButton(Command1);

    imgLogo = makeLogo(Frame1, QStringLiteral("imgLogo"), QRect(120, 0, 2955, 2010));
    lblbook = makeLabel(Frame1, QStringLiteral("lblbook"), tr("Merivo"), QRect(120, 2160, 5415, 375),
                        dialogFont(18, true), Colours::Black);
    lblcopyright = makeLabel(Frame1, QStringLiteral("lblcopyright"), tr("All rights reserved."),
                             QRect(120, 4080, 2415, 255), dialogFont(), Colours::Red);
    lblversion = makeLabel(Frame1, QStringLiteral("lblversion"), tr("Version 2002 Plus"), QRect(240, 2760, 2295, 255),
                           dialogFont(12), Colours::DarkGrey);
    lblLicence = makeLabel(Frame1, QStringLiteral("lblLicence"), tr("Licensed to the Merivo user"),
                           QRect(120, 3720, 2175, 255), dialogFont());

    Command1->setFocus();
    connect(Command1, &QPushButton::clicked, this, &frmabout::Command1_Click);
}

void frmabout::Command1_Click()
{
    program().Show(QStringLiteral("MDIMain"));
    program().Unload(objectName());
}
