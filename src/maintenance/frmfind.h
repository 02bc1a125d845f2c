#pragma once

#include "recordform/RecordForm.h"

// The Find and Edit Record form: look a contact up by name, then change it
// in place through Edit, then Update or Cancel.
class frmfind : public RecordForm
{
    Q_OBJECT

public:
    frmfind(Program &program, UserNameSource currentUserName);

    void cmdFind_Click();
    void cmdEdit_Click();
    void cmdUpdate_Click();
    void cmdCancel_Click();

    CommandButton *cmdCancel;
    CommandButton *cmdUpdate;
    CommandButton *cmdEdit;
    CommandButton *cmdFind;

private:
    void endEditButtons();
};
