#include "frmsplash.h"

#include "toolkit/Controls.h"
#include "toolkit/Fonts.h"
#include "toolkit/Program.h"

#include <QLabel>
#include <QTimer>

namespace {
constexpr float BarStep = 100.0f;
constexpr float BarFull = 5775.0f;
} // namespace

frmsplash::frmsplash(Program &program)
    : Form(program, QStringLiteral("frmsplash"))
{
    setCaption(tr("Merivo"));
    setClientAreaTwips(7020, 4830, Border::FixedSingle);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1);
    connect(Timer1, &QTimer::timeout, this, &frmsplash::Timer1_Timer);

    Frame1 = new FrameBox(this, QStringLiteral("Frame1"), QString(23, u' ') + tr("Orvant"), QRect(120, 120, 6735, 4455));
    Frame1->setCaptionStyle(dialogFont(13.5, true), Colours::Red);

    Picture2 = new PictureBox(Frame1, QStringLiteral("Picture2"), QRect(240, 3000, 255, 495), Colours::Red);
    Label12 = makeLabel(Frame1, QStringLiteral("Label12"), tr("loading please wait..."), QRect(240, 2520, 1830, 195),
                        dialogFont(8.25, true));
    Image1 = makeLogo(Frame1, QStringLiteral("Image1"), QRect(240, 0, 1755, 1170));
    Label1 = makeLabel(Frame1, QStringLiteral("Label1"), tr("Licensed to the Merivo user"),
                       QRect(120, 3840, 2175, 255), dialogFont());
    lblorvant = makeLabel(Frame1, QStringLiteral("lblorvant"), tr("Orvant Software"), QRect(4800, 4080, 1695, 255),
                          dialogFont(), Colours::Red);
    lblversion = makeLabel(Frame1, QStringLiteral("lblversion"), tr("Version 2002 Plus"), QRect(240, 2040, 2295, 255),
                           dialogFont(12), Colours::DarkRed);
    lblcopyright = makeLabel(Frame1, QStringLiteral("lblcopyright"), tr("All rights reserved."),
                             QRect(120, 4080, 2415, 255), dialogFont(), Colours::Red);
    lblbook = makeLabel(Frame1, QStringLiteral("lblbook"), tr("Merivo"), QRect(240, 1440, 5415, 375),
                        dialogFont(18, true), Colours::DarkRed);

    // The animation runs from the moment the window exists.
    Timer1->start();
}

void frmsplash::Timer1_Timer()
{
    const float width = Picture2->Width();
    if (width >= BarFull) {
        Timer1->stop();
        program().Unload(objectName());
        program().Show(QStringLiteral("frmlogin"));
        return;
    }
    Picture2->setWidth(width + BarStep);
}
