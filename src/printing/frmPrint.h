#pragma once

#include "contacts/RecordForm.h"

// The Print Record form: pick a contact, read-only, to print its card.
class frmPrint : public RecordForm
{
    Q_OBJECT

public:
    frmPrint(Program &program, UserNameSource currentUserName);

    void cmdFind_Click();

    CommandButton *cmdPrint;
    CommandButton *cmdFind;
    QLabel *const &lblwelcome = lblWelcome;
    QLabel *const &lblPosititon = lblPosition;
    QLineEdit *const &txtOfficePhone = txtOfficephone;
};
