#pragma once

#include "recordform/RecordForm.h"

// The Add and Delete Record form: browse the contacts, add one, delete the
// one on show. Adding puts Save and Cancel in the places of Delete and Exit.
class frmadd : public RecordForm
{
    Q_OBJECT

public:
    frmadd(Program &program, UserNameSource currentUserName);

    void cmdAdd_Click();
    void cmdFind_Click();
    void cmdDelete_Click();
    void cmdok_Click();
    void cmdCancel_Click();

    CommandButton *cmdAdd;
    CommandButton *cmdFind;
    CommandButton *cmdDelete;
    CommandButton *cmdok;
    CommandButton *cmdCancel;
    QLabel *const &lblofficephone = lblOfficephone;

private:
    void showBrowsingButtons();
};
