#pragma once

#include "toolkit/Form.h"

class CommandButton;
class FrameBox;
class QLabel;

// The about box: the program's title, logo and version; OK returns to the main window.
class frmabout : public Form
{
    Q_OBJECT

public:
    explicit frmabout(Program &program);

    void Command1_Click();

    FrameBox *Frame1;
    CommandButton *Command1;
    QLabel *imgLogo;
    QLabel *lblbook;
    QLabel *lblcopyright;
    QLabel *lblversion;
    QLabel *lblLicence;
};
