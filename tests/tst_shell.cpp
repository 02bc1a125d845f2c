#include "recordform/RecordForm.h"
#include "shell/MDIMain.h"
#include "shell/frmabout.h"
#include "shell/frmlogin.h"
#include "shell/frmsplash.h"
#include "support/TestProgram.h"
#include "toolkit/Controls.h"
#include "toolkit/Twips.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMdiArea>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using Box = ScriptedDialogs::Box;

namespace {

const QString Login = QStringLiteral("frmlogin");
const QString Main = QStringLiteral("MDIMain");

// The next widget that Tab moves the focus to.
QWidget *nextTabStop(QWidget *widget)
{
    QWidget *next = widget->nextInFocusChain();
    while (next != widget && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    return next;
}

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

private:
    // Logs in and leaves the main window showing.
    static MDIMain *logIn(TestProgram &t, const QString &name = QStringLiteral("alice"))
    {
        auto *login = t.show<frmlogin>(Login);
        login->txtlogin->setText(name);
        login->txtpassword->setText(QStringLiteral("qard"));
        login->cmdproceed->click();
        t.settle();
        return t.form<MDIMain>(Main);
    }

private Q_SLOTS:
    // --- splash -----------------------------------------------------------

    void splashGrowsTheBarThenHandsOverOnce()
    {
        TestProgram t;
        auto *splash = t.show<frmsplash>(QStringLiteral("frmsplash"));
        splash->Timer1->stop(); // ticks are driven by hand below
        QCOMPARE(splash->Picture2->Width(), 255.0f);

        int ticks = 0;
        while (t.program().isOpen(QStringLiteral("frmsplash")) && ticks < 100) {
            const float before = splash->Picture2->Width();
            splash->Timer1_Timer();
            ++ticks;
            if (t.program().isOpen(QStringLiteral("frmsplash"))) {
                QCOMPARE(splash->Picture2->Width(), before + 100.0f);
                QCOMPARE(splash->Picture2->height(), 33); // 495 twips
            } else {
                QVERIFY(before >= 5775.0f); // at or above the threshold counts as full
            }
        }
        QCOMPARE(ticks, 57);
        QVERIFY(!splash->Timer1->isActive());
        QCOMPARE(t.visibleForms(), QStringList{Login});
    }

    void splashRunsByItselfAndShowsOneLogin()
    {
        TestProgram t;
        QPointer<frmsplash> splash = t.show<frmsplash>(QStringLiteral("frmsplash"));
        QTRY_VERIFY(t.program().isVisible(Login));
        t.settle();
        QVERIFY(splash.isNull()); // neither visible nor hidden, and its timer gone with it
        QCOMPARE(t.visibleForms(), QStringList{Login});
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.begin(), windows.end(),
                               [](QWidget *w) { return w->objectName() == QStringLiteral("frmlogin"); }),
                 1);
    }

    void closingTheSplashEarlyEndsTheProgram()
    {
        TestProgram t;
        QSignalSpy finished(&t.program(), &Program::finished);
        t.show<frmsplash>(QStringLiteral("frmsplash"))->close();
        QTRY_COMPARE(finished.count(), 1);
        QVERIFY(!t.program().isOpen(Login));
    }

    // --- login ------------------------------------------------------------

    void loginRefusals_data()
    {
        QTest::addColumn<QString>("password");
        QTest::newRow("upper case") << QStringLiteral("QARD");
        QTest::newRow("mixed case") << QStringLiteral("Qard");
        QTest::newRow("leading blank") << QStringLiteral(" qard");
        QTest::newRow("trailing blank") << QStringLiteral("qard ");
        QTest::newRow("empty") << QString();
    }

    void loginRefusals()
    {
        QFETCH(QString, password);
        TestProgram t;
        auto *login = t.show<frmlogin>(Login);
        login->txtlogin->setText(QStringLiteral("alice"));
        login->txtpassword->setText(password);
        login->cmdproceed->click();
        QVERIFY(login->txtpassword->text().isEmpty());
        QCOMPARE(login->focusWidget(), login->txtpassword);
        QCOMPARE(login->lblwarning->text(), QStringLiteral("Wrong Password! Try Again."));
        QCOMPARE(login->txtlogin->text(), QStringLiteral("alice"));
        QVERIFY(t.dialogs().asked().isEmpty());
        QVERIFY(t.module1().currentUserName().isEmpty());
        QVERIFY(!t.program().isOpen(Main));
    }

    void emptyNameIsRefusedEvenWithTheRightPassword()
    {
        TestProgram t;
        auto *login = t.show<frmlogin>(Login);
        login->lblwarning->setText(QStringLiteral("Wrong Password! Try Again."));
        login->txtpassword->setText(QStringLiteral("qard"));
        t.dialogs().answer(MsgBox::Ok);
        login->cmdproceed->click();

        const auto asked = t.dialogs().takeAsked();
        QCOMPARE(asked.size(), 1);
        compareBox(asked.first(), QString(), MsgBox::OkOnly, QStringLiteral("Please enter login name"));
        QCOMPARE(login->focusWidget(), login->txtlogin);
        QCOMPARE(login->txtpassword->text(), QStringLiteral("qard"));
        QCOMPARE(login->lblwarning->text(), QStringLiteral("Wrong Password! Try Again.")); // not cleared
        QVERIFY(!t.program().isOpen(Main));
    }

    void successStoresTheNameAsTypedAndOpensTheMainWindow_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("lower case") << QStringLiteral("alice");
        QTest::newRow("one blank") << QStringLiteral(" ");
        QTest::newRow("mixed with blanks") << QStringLiteral(" Émile Zola ");
    }

    void successStoresTheNameAsTypedAndOpensTheMainWindow()
    {
        QFETCH(QString, name);
        TestProgram t;
        QSignalSpy finished(&t.program(), &Program::finished);
        QVERIFY(logIn(t, name));
        QCOMPARE(t.module1().currentUserName(), name);
        QCOMPARE(t.visibleForms(), QStringList{Main});
        QVERIFY(!t.program().isOpen(Login));
        QCOMPARE(finished.count(), 0);
    }

    void enterInEitherBoxActsAsProceed()
    {
        TestProgram t;
        auto *login = t.show<frmlogin>(Login);
        login->txtlogin->setText(QStringLiteral("bob"));
        QTest::keyClick(login->txtlogin, Qt::Key_Return);
        QCOMPARE(login->lblwarning->text(), QStringLiteral("Wrong Password! Try Again."));

        login->txtpassword->setText(QStringLiteral("qard"));
        QTest::keyClick(login->txtpassword, Qt::Key_Enter, Qt::KeypadModifier);
        t.settle();
        QCOMPARE(t.module1().currentUserName(), QStringLiteral("bob"));
        QVERIFY(t.program().isVisible(Main));
    }

    void loginExitAsksAndOnlyYesEnds()
    {
        TestProgram t;
        QSignalSpy finished(&t.program(), &Program::finished);
        auto *login = t.show<frmlogin>(Login);
        login->txtlogin->setText(QStringLiteral("alice"));
        login->txtpassword->setText(QStringLiteral("qa"));
        login->lblwarning->setText(QStringLiteral("Wrong Password! Try Again."));

        t.dialogs().answer(MsgBox::No);
        login->cmdExit->click();
        compareBox(t.dialogs().takeAsked().value(0), QStringLiteral("Do you want to exit ?"), MsgBox::YesNoExclamation,
                   QStringLiteral("Exit"));
        t.settle();
        QCOMPARE(login->txtlogin->text(), QStringLiteral("alice"));
        QCOMPARE(login->txtpassword->text(), QStringLiteral("qa"));
        QCOMPARE(login->lblwarning->text(), QStringLiteral("Wrong Password! Try Again."));
        QCOMPARE(finished.count(), 0);

        t.dialogs().answer(MsgBox::Yes);
        login->cmdExit->click();
        t.settle();
        QCOMPARE(finished.count(), 1);
    }

    void loginWindowLayout()
    {
        TestProgram t;
        auto *login = t.show<frmlogin>(Login);
        QCOMPARE(login->defaultButton(), login->cmdproceed);
        QCOMPARE(login->txtpassword->echoMode(), QLineEdit::Password);
        QCOMPARE(login->focusWidget(), login->txtlogin);
        // Tab order: login, password, Proceed, Exit.
        QCOMPARE(nextTabStop(login->txtlogin), login->txtpassword);
        QCOMPARE(nextTabStop(login->txtpassword), login->cmdproceed);
        QCOMPARE(nextTabStop(login->cmdproceed), login->cmdExit);
        QCOMPARE(nextTabStop(login->cmdExit), login->txtlogin);
    }

    // --- main window and menu ------------------------------------------------

    void menuIsCompleteAndInOrder()
    {
        TestProgram t;
        MDIMain *main = logIn(t);
        QStringList bar;
        for (QAction *a : main->menuBar->actions())
            bar << a->text();
        QCOMPARE(bar, (QStringList{QStringLiteral("Address &Book"), QStringLiteral("&Report"), QStringLiteral("&About"),
                                   QStringLiteral("E&xit")}));
        QStringList book;
        for (QAction *a : main->mnumain->actions())
            book << a->text();
        QCOMPARE(book, (QStringList{QStringLiteral("&Add Record"), QStringLiteral("&Update Record"),
                                    QStringLiteral("&Find Rrecord"), QStringLiteral("&Print Record")}));
    }

    void menuCommandsShowHideAndBringToTheFront_data()
    {
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<QStringList>("visible");
        QTest::addColumn<QString>("front");
        const QString add = QStringLiteral("frmadd"), find = QStringLiteral("frmfind");
        const QString print = QStringLiteral("frmPrint");
        const auto row = [](const char *name, const char *commands, const QStringList &visible, const QString &front) {
            QTest::newRow(name) << QString::fromLatin1(commands).split(u' ') << visible << front;
        };
        row("Add twice", "mnuaddrecord mnuabout mnuaddrecord", {Main, QStringLiteral("frmabout"), add}, add);
        row("Update hides Print and Add", "mnuaddrecord mnuprint mnuupdatetrecord", {Main, find}, find);
        row("Update alone opens only Find", "mnuupdatetrecord", {Main, find}, find);
        row("Print hides Find and Add", "mnuaddrecord mnuupdatetrecord mnuprint", {Main, print}, print);
        row("Find brings Main forward, then Find", "mnuprint mnufind", {Main, find, print}, find);
        row("About", "mnuprint mnuabout", {Main, QStringLiteral("frmabout"), print}, QStringLiteral("frmabout"));
    }

    // The windows shown and the one in front, as the window system has them.
    void menuCommandsShowHideAndBringToTheFront()
    {
        QFETCH(QStringList, commands);
        QFETCH(QStringList, visible);
        QFETCH(QString, front);
        TestProgram t;
        MDIMain *main = logIn(t);
        for (const QString &command : commands)
            main->findChild<QAction *>(command)->trigger();
        QCOMPARE(t.visibleForms(), visible);
        QTRY_COMPARE(QApplication::activeWindow(), t.program().form(front));
    }

    void windowsComeAndGo_data()
    {
        QTest::addColumn<QString>("steps"); // menu commands, "form:exit" (Yes), "form:close" or "form:enter"
        QTest::addColumn<QStringList>("visible");
        QTest::addColumn<bool>("ended");
        QTest::newRow("Exit leaves a record form, whose Exit brings the main window back")
            << "mnuaddrecord mnuexit frmadd:exit" << QStringList{Main} << false;
        QTest::newRow("Enter in the about box brings the main window back")
            << "mnuabout mnuexit frmabout:enter" << QStringList{Main} << false;
        QTest::newRow("a close box closes its form alone, without asking")
            << "mnuaddrecord mnuupdatetrecord mnuaddrecord frmfind:close" << QStringList{Main, QStringLiteral("frmadd")}
            << false;
        QTest::newRow("hidden forms do not keep the program alive")
            << "mnuupdatetrecord mnuprint frmPrint:exit mnuexit" << QStringList() << true;
        QTest::newRow("closing the about box alone ends the program")
            << "mnuabout mnuexit frmabout:close" << QStringList() << true;
    }

    void windowsComeAndGo()
    {
        QFETCH(QString, steps);
        QFETCH(QStringList, visible);
        QFETCH(bool, ended);
        TestProgram t;
        QSignalSpy finished(&t.program(), &Program::finished);
        logIn(t);
        for (const QString &step : steps.split(u' ')) {
            const QString form = step.section(u':', 0, 0);
            const QString action = step.section(u':', 1);
            if (action.isEmpty())
                t.form<MDIMain>(Main)->findChild<QAction *>(step)->trigger();
            else if (action == QLatin1String("close"))
                t.program().form(form)->close();
            else if (action == QLatin1String("enter"))
                QTest::keyClick(t.program().form(form), Qt::Key_Return);
            else {
                t.dialogs().answer(MsgBox::Yes);
                t.form<RecordForm>(form)->cmdExit->click();
            }
            t.settle();
        }
        QVERIFY(t.dialogs().allAnswersUsed());
        QCOMPARE(t.visibleForms(), visible);
        QCOMPARE(finished.count(), ended ? 1 : 0);
        if (ended)
            QVERIFY(!t.program().isOpen(QStringLiteral("frmfind")) && !t.program().isOpen(Main));
    }

    void everyControlHasAnAccessibleName_data()
    {
        QTest::addColumn<QString>("form");
        for (const char *name : {"frmsplash", "frmlogin", "MDIMain", "frmabout", "frmadd", "frmfind", "frmPrint"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void everyControlHasAnAccessibleName()
    {
        QFETCH(QString, form);
        TestProgram t;
        Form *f = t.program().Show(form);
        const QList<QWidget *> controls = f->findChildren<QWidget *>();
        for (QWidget *control : controls) {
            if (control->objectName().startsWith(QStringLiteral("qt_")))
                continue; // Qt's own parts of a widget
            auto *label = qobject_cast<QLabel *>(control);
            const bool interactive = control->focusPolicy() != Qt::NoFocus || qobject_cast<QAbstractButton *>(control);
            if (!interactive && !label)
                continue;
            if (label && label->text().isEmpty() && label->pixmap().isNull())
                continue; // a message line with nothing to say yet
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
            QVERIFY(accessible);
            QVERIFY2(!accessible->text(QAccessible::Name).trimmed().isEmpty(),
                     qPrintable(control->objectName() + QStringLiteral(" has no accessible name")));
        }
    }

    void menuAccessKeys()
    {
        TestProgram t;
        QSignalSpy finished(&t.program(), &Program::finished);
        MDIMain *main = logIn(t);
        QVERIFY(QTest::qWaitForWindowActive(main));

        QTest::keyClick(main, Qt::Key_B, Qt::AltModifier);
        QTRY_VERIFY(main->mnumain->isVisible());
        QTest::keyClick(main->mnumain, Qt::Key_Escape);
        QTRY_VERIFY(!main->mnumain->isVisible());

        QTest::keyClick(main, Qt::Key_X, Qt::AltModifier);
        QTRY_COMPARE(finished.count(), 1);
    }

    void windowSizes_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QSize>("clientTwips");
        QTest::addColumn<bool>("resizable");
        const auto row = [](const char *form, int width, int height, bool resizable) {
            QTest::newRow(form) << QString::fromLatin1(form) << QSize(width, height) << resizable;
        };
        row("frmsplash", 7020, 4830, false);
        row("frmlogin", 7485, 5595, true);
        row("MDIMain", 6660, 4185, true);
        row("frmabout", 6990, 4560, false);
        row("frmadd", 7680, 7335, false);
        row("frmfind", 7785, 7080, false);
        row("frmPrint", 7875, 6945, false);
        row("frmPrintpre", 7815, 6900, false);
    }

    // The client area below the menu bar, and whether the frame offers
    // minimise and maximise and lets the window be resized.
    void windowSizes()
    {
        QFETCH(QString, form);
        QFETCH(QSize, clientTwips);
        QFETCH(bool, resizable);
        TestProgram t;
        Form *f = t.program().Show(form);
        auto *main = qobject_cast<MDIMain *>(f);
        QCOMPARE(main ? main->workspace->size() : f->size(), twipsSize(clientTwips.width(), clientTwips.height()));
        QCOMPARE(f->minimumSize() != f->maximumSize(), resizable);
        // Without a customised frame the window manager gives every button.
        const Qt::WindowFlags flags = f->windowFlags();
        const bool customised = flags & Qt::CustomizeWindowHint;
        QCOMPARE(!customised || (flags & Qt::WindowMinimizeButtonHint), resizable);
        QCOMPARE(!customised || (flags & Qt::WindowMaximizeButtonHint), resizable);
        QVERIFY(!customised || (flags & Qt::WindowCloseButtonHint));
    }

    void fixedTexts_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("toolTip");
        const auto row = [](const char *form, const char *control, const QString &text, const char *toolTip = "") {
            QTest::addRow("%s %s", form, control) << QString::fromLatin1(form) << QString::fromLatin1(control) << text
                                                  << QString::fromLatin1(toolTip);
        };
        row("frmsplash", "", QStringLiteral("Merivo"));
        row("frmsplash", "Frame1", QString(23, u' ') + QStringLiteral("Orvant"));
        row("frmsplash", "Label12", QStringLiteral("loading please wait..."));
        row("frmsplash", "lblversion", QStringLiteral("Version 2002 Plus"));
        row("frmsplash", "lblbook", QStringLiteral("Merivo"));
        row("MDIMain", "", QStringLiteral("Merivo"));
        row("frmabout", "", QStringLiteral("About"));
        row("frmabout", "Frame1", QString(36, u' ') + QStringLiteral("Orvant"));
        row("frmabout", "Command1", QStringLiteral("OK"), "Return Main");
        row("frmabout", "lblbook", QStringLiteral("Merivo"));
        row("frmabout", "lblversion", QStringLiteral("Version 2002 Plus"));
        row("frmlogin", "", QStringLiteral("Login"));
        row("frmlogin", "Label1", QStringLiteral("Please enter your login  name and password"));
        row("frmlogin", "Frame1", QString(29, u' ') + QStringLiteral("Orvant") + QString(4, u' '));
        row("frmlogin", "cmdproceed", QStringLiteral("Proceed"), "Proceed");
        row("frmlogin", "cmdExit", QStringLiteral("E&xit"), "Exit");
    }

    // Each window's caption (no control named), and its controls' captions
    // and tool tips. The licence, company and rights lines are ours to word,
    // but never empty.
    void fixedTexts()
    {
        QFETCH(QString, form);
        QFETCH(QString, control);
        QFETCH(QString, text);
        QFETCH(QString, toolTip);
        TestProgram t;
        Form *f = t.program().Show(form);
        if (control.isEmpty()) {
            QCOMPARE(f->caption(), text);
            for (const char *line : {"Label1", "lblorvant", "lblcopyright", "lblLicence"}) {
                if (auto *label = f->findChild<QLabel *>(QLatin1String(line)))
                    QVERIFY(!label->text().isEmpty());
            }
            return;
        }
        QWidget *w = f->findChild<QWidget *>(control);
        QVERIFY(w);
        if (auto *frame = qobject_cast<FrameBox *>(w))
            QCOMPARE(frame->caption(), text);
        else if (auto *label = qobject_cast<QLabel *>(w))
            QCOMPARE(label->text(), text);
        else
            QCOMPARE(qobject_cast<QAbstractButton *>(w)->text(), text);
        QCOMPARE(w->toolTip(), toolTip);
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
