#pragma once

#include "toolkit/Form.h"

class CommandButton;
class FrameBox;
class Module1;
class QLabel;
class QLineEdit;

// The login window: any non-empty login name with the one fixed password.
class frmlogin : public Form
{
    Q_OBJECT

public:
    frmlogin(Program &program, Module1 &module1);

    void cmdproceed_Click();
    void cmdExit_Click();

    CommandButton *cmdExit;
    CommandButton *cmdproceed;
    FrameBox *Frame1;
    QLineEdit *txtpassword;
    QLineEdit *txtlogin;
    QLabel *imgLogo;
    QLabel *lblwarning;
    QLabel *Label4;
    QLabel *Label3;
    QLabel *Label2;
    QLabel *Label1;

private:
    Module1 &m_module1;
};
