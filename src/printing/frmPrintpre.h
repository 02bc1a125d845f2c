#pragma once

#include "toolkit/Form.h"
#include "toolkit/Printer.h"

#include <functional>

class CommandButton;
class FrameBox;
class QLabel;

// The print preview: the card of the contact on display in the Print Record
// form, copied once as it loads, printed as the window shows it.
class frmPrintpre : public Form
{
    Q_OBJECT

public:
    explicit frmPrintpre(Program &program);

    void Form_Load() override;
    void cmdPrint_Click();
    void cmdCancel_Click();

    FrameBox *Frame1;
    // The captions of the card's rows.
    QLabel *Label12;
    QLabel *Label13;
    QLabel *Label14;
    QLabel *Label15;
    QLabel *Label16;
    QLabel *Label17;
    QLabel *Label18;
    QLabel *Label19;
    // The values, in the same rows.
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    QLabel *Label5;
    QLabel *Label6;
    QLabel *Label7;
    QLabel *Label8;
    CommandButton *cmdCancel;
    CommandButton *cmdPrint;

private:
    // Runs a step of printing with the buttons hidden, as the card goes to paper.
    PrintResult withoutButtons(const std::function<PrintResult()> &step);
};
