#pragma once

#include "toolkit/Form.h"

class FrameBox;
class PictureBox;
class QLabel;
class QTimer;

// The splash window: a fixed animation of a growing bar, then the login.
class frmsplash : public Form
{
    Q_OBJECT

public:
    explicit frmsplash(Program &program);

    void Timer1_Timer();

    QTimer *Timer1;
    FrameBox *Frame1;
    PictureBox *Picture2;
    QLabel *Label12;
    QLabel *Image1;
    QLabel *Label1;
    QLabel *lblorvant;
    QLabel *lblversion;
    QLabel *lblcopyright;
    QLabel *lblbook;
};
