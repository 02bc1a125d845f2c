#pragma once

#include "toolkit/Form.h"

class CommandButton;

// A record form's window before its contents exist: its caption and its
// Exit, which returns to the main window.
class PlaceholderForm : public Form
{
    Q_OBJECT

public:
    PlaceholderForm(Program &program, const QString &name, const QString &caption);

    void cmdExit_Click();

    CommandButton *cmdExit;
};
