#pragma once

#include "recordform/RecordForm.h"

// A control array with one element, which answers to its own index only.
template<typename Control>
class ControlArray
{
public:
    ControlArray(Control *element, int index)
        : m_element(element)
        , m_index(index)
    {
    }

    Control *operator()(int index) const
    {
        Q_ASSERT_X(index == m_index, "ControlArray", "no element with this index");
        return index == m_index ? m_element : nullptr;
    }
    int index() const { return m_index; }

private:
    Control *m_element;
    int m_index;
};

// The Print Record form: pick a contact, read-only, to print its card.
class frmPrint : public RecordForm
{
    Q_OBJECT

public:
    frmPrint(Program &program, UserNameSource currentUserName);

    void cmdPrint_Click();
    void cmdFind_Click();

    CommandButton *cmdPrint;
    CommandButton *cmdFind;
    QLabel *const &lblwelcome = lblWelcome;
    QLabel *const &lblPosititon = lblPosition;
    QLineEdit *const &txtOfficePhone = txtOfficephone;
    // On this form the e-mail and web boxes are elements of control arrays,
    // and the print preview reads them by index.
    const ControlArray<QLineEdit> txtEmail{RecordForm::txtEmail, 1};
    const ControlArray<QLineEdit> txtWeb{RecordForm::txtWeb, 0};
};
