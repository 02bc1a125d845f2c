#pragma once

#include "toolkit/Form.h"

class QAction;
class QMdiArea;
class QMenu;
class QMenuBar;
class ReportControl;

// The main window: an empty workspace under the menu that opens the record
// forms, produces the report, shows the about box and ends the work.
class MDIMain : public Form
{
    Q_OBJECT

public:
    explicit MDIMain(Program &program);

    void mnuaddrecord_Click();
    void mnuupdatetrecord_Click();
    void mnufind_Click();
    void mnuprint_Click();
    void report_Click();
    void mnuabout_Click();
    void mnuexit_Click();

    QMenuBar *menuBar;
    QMenu *mnumain;
    QAction *mnuaddrecord;
    QAction *mnuupdatetrecord;
    QAction *mnufind;
    QAction *mnuprint;
    QAction *report;
    QAction *mnuabout;
    QAction *mnuexit;
    QMdiArea *workspace;
    // The report engine that "&Report" drives; it shows nothing of its own.
    ReportControl *ReportControl1;
};
