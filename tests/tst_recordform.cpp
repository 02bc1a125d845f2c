#include "contacts/Recordset.h"
#include "maintenance/frmadd.h"
#include "printing/frmPrint.h"
#include "recordform/DataControl.h"
#include "recordform/RecordForm.h"
#include "support/RecordFormFixture.h"
#include "support/TestProgram.h"
#include "toolkit/Controls.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace RecordFormFixture;

namespace {

const QStringList RecordForms = {QStringLiteral("frmadd"), QStringLiteral("frmfind"), QStringLiteral("frmPrint")};

QStringList boxTexts(RecordForm *form)
{
    QStringList texts;
    for (QLineEdit *box : form->textBoxes())
        texts.append(box->text());
    return texts;
}

} // namespace

class TestRecordForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void welcomesTheUserInCapitals_data()
    {
        QTest::addColumn<QString>("form");
        for (const QString &name : RecordForms)
            QTest::newRow(qPrintable(name)) << name;
    }

    void welcomesTheUserInCapitals()
    {
        QFETCH(QString, form);
        TestProgram t;
        t.module1().setCurrentUserName(QStringLiteral("émile zola"));
        auto *f = t.show<RecordForm>(form);
        QCOMPARE(f->lblWelcome->text(), QStringLiteral("WELCOME ÉMILE ZOLA"));
        QCOMPARE(t.module1().currentUserName(), QStringLiteral("émile zola"));
    }

    void anEmptyTableShowsNoRecord_data() { welcomesTheUserInCapitals_data(); }

    void anEmptyTableShowsNoRecord()
    {
        QFETCH(QString, form);
        TestProgram t;
        auto *f = t.show<RecordForm>(form);
        QCOMPARE(boxTexts(f), QStringList(8, QString()));
        QCOMPARE(f->Data1->caption(), QString());
        QVERIFY(!f->Data1->Recordset()->hasCurrentRecord());
        for (QLineEdit *box : f->textBoxes())
            QVERIFY(box->isReadOnly());
        QVERIFY(t.dialogs().asked().isEmpty());
    }

    void captionFollowsEveryMove_data() { welcomesTheUserInCapitals_data(); }

    void captionFollowsEveryMove()
    {
        QFETCH(QString, form);
        TestProgram t;
        auto *f = showWith(t, form, {QStringLiteral("Ann"), QStringLiteral("Bob"), QStringLiteral("Cy")});
        QSignalSpy reposition(f->Data1, &DataControl::Reposition);
        QCOMPARE(f->Data1->caption(), QStringLiteral("Ann"));
        QCOMPARE(f->txtAddress->text(), QStringLiteral("Ann/1"));

        const struct {
            const char *arrow;
            const char *name;
        } moves[] = {{"moveNext", "Bob"},     {"moveNext", "Cy"},     {"moveNext", "Cy"},       {"moveFirst", "Ann"},
                     {"movePrevious", "Ann"}, {"moveLast", "Cy"}, {"movePrevious", "Bob"}};
        for (const auto &move : moves) {
            clickArrow(f->Data1, move.arrow);
            QCOMPARE(f->txtName->text(), QLatin1String(move.name));
            QCOMPARE(f->Data1->caption(), QLatin1String(move.name));
            QCOMPARE(f->txtWeb->text(), QLatin1String(move.name) + QStringLiteral("/7"));
        }
        // Next on the last and previous on the first change nothing.
        QCOMPARE(reposition.count(), 5);
    }

    void keysBrowseWhileTheBarShows_data() { welcomesTheUserInCapitals_data(); }

    // Wherever the focus is: on the Print Record form it starts on a scroll bar.
    void keysBrowseWhileTheBarShows()
    {
        QFETCH(QString, form);
        TestProgram t;
        auto *f = showWith(t, form, {QStringLiteral("Ann"), QStringLiteral("Bob"), QStringLiteral("Cy")});
        QVERIFY(QTest::qWaitForWindowActive(f));
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus, Qt::Key_PageDown);
        QCOMPARE(f->txtName->text(), QStringLiteral("Bob"));
        QTest::keyClick(focus, Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(f->txtName->text(), QStringLiteral("Cy"));
        QTest::keyClick(focus, Qt::Key_PageUp);
        QCOMPARE(f->txtName->text(), QStringLiteral("Bob"));
        QTest::keyClick(focus, Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(f->Data1->caption(), QStringLiteral("Ann"));

        f->Data1->hide(); // as while adding
        QTest::keyClick(focus, Qt::Key_PageDown);
        QCOMPARE(f->txtName->text(), QStringLiteral("Ann"));
    }

    void exitAsksAndYesReturnsToTheMainWindow_data() { welcomesTheUserInCapitals_data(); }

    void exitAsksAndYesReturnsToTheMainWindow()
    {
        QFETCH(QString, form);
        TestProgram t;
        QPointer<RecordForm> f = showWith(t, form, {QStringLiteral("Ann"), QStringLiteral("Bob")});
        clickArrow(f->Data1, "moveNext");

        t.dialogs().answer(MsgBox::No);
        f->cmdExit->click();
        compareBox(t.dialogs().takeOnly(), QStringLiteral("Do you want to exit ?"), MsgBox::YesNoExclamation,
                   QStringLiteral("Exit"));
        QVERIFY(f->isVisible());
        QCOMPARE(f->txtName->text(), QStringLiteral("Bob"));

        t.dialogs().answer(MsgBox::Yes);
        f->cmdExit->click();
        t.settle();
        QVERIFY(f.isNull());
        QCOMPARE(t.visibleForms(), QStringList{QStringLiteral("MDIMain")});

        // A later opening loads afresh, on the first contact.
        auto *again = t.show<RecordForm>(form);
        QCOMPARE(again->txtName->text(), QStringLiteral("Ann"));
    }

    void scrollBarsMoveNothing()
    {
        TestProgram t;
        auto *f = showWith(t, QStringLiteral("frmfind"), {QStringLiteral("Ann"), QStringLiteral("Bob")});
        const QStringList before = boxTexts(f);
        f->VScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        f->VScroll2->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(f->VScroll1->value(), 1);
        QCOMPARE(boxTexts(f), before);
        QVERIFY(t.form<RecordForm>(QStringLiteral("frmadd")) == nullptr);
        QVERIFY(t.show<RecordForm>(QStringLiteral("frmadd"))->VScroll1 == nullptr);
    }

    void formsDifferWhereTheyShould()
    {
        TestProgram t;
        auto *add = t.show<frmadd>(QStringLiteral("frmadd"));
        auto *print = t.show<frmPrint>(QStringLiteral("frmPrint"));
        QCOMPARE(add->windowTitle(), QStringLiteral("Add & Delete Record"));
        QCOMPARE(print->windowTitle(), QStringLiteral("PrintRecord"));
        QCOMPARE(add->Record->caption(), QString(19, u' ') + QStringLiteral("Orvant Inc."));
        QCOMPARE(print->Record->caption(), QString(27, u' ') + QStringLiteral("Orvant Inc."));
        QCOMPARE(add->Data1->parentWidget(), add);          // in front of the frame
        QCOMPARE(print->Data1->parentWidget(), print->Record); // inside the frame
    }

    void anEmptyNameGetsItsNotice_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("notice");
        const QString noRecord = QStringLiteral("No record available ");
        QTest::newRow("Delete") << QStringLiteral("frmadd") << QStringLiteral("cmdDelete")
                                << QStringLiteral("No record found");
        QTest::newRow("Save") << QStringLiteral("frmadd") << QStringLiteral("cmdok") << noRecord;
        QTest::newRow("Edit") << QStringLiteral("frmfind") << QStringLiteral("cmdEdit") << noRecord;
        QTest::newRow("Print Prewiew") << QStringLiteral("frmPrint") << QStringLiteral("cmdPrint") << noRecord;
        QTest::newRow("Print Prewiew by Enter") << QStringLiteral("frmPrint") << QString() << noRecord;
    }

    // An empty name box is the one sign of no contact: the notice stands in
    // the title alone, the focus goes to the name box, and nothing else changes.
    void anEmptyNameGetsItsNotice()
    {
        QFETCH(QString, form);
        QFETCH(QString, button);
        QFETCH(QString, notice);
        TestProgram t;
        seed(t, {QString()}); // a contact whose other fields are filled
        auto *f = t.show<RecordForm>(form);
        if (button == QLatin1String("cmdok")) {
            startWork(t, f);
            f->txtPhone->setText(QStringLiteral("typed"));
        }
        const auto state = [f] {
            QStringList shown = boxTexts(f);
            for (QPushButton *b : f->findChildren<QPushButton *>())
                shown << b->objectName() + (b->isVisible() ? QStringLiteral(" shown") : QStringLiteral(" hidden"));
            return shown << (f->txtName->isReadOnly() ? QStringLiteral("locked") : QStringLiteral("open"));
        };
        const QStringList before = state();
        f->txtAddress->setFocus();
        t.dialogs().answer(MsgBox::Ok);
        if (button.isEmpty())
            QTest::keyClick(f->txtAddress, Qt::Key_Return);
        else
            f->findChild<QPushButton *>(button)->click();
        t.settle();

        compareBox(t.dialogs().takeOnly(), QString(), MsgBox::OkOnly, notice);
        QCOMPARE(f->focusWidget(), f->txtName);
        QCOMPARE(state(), before);
        QCOMPARE(t.visibleForms(), QStringList{form});
        QCOMPARE(storedNames(t), QStringList{QString()});
    }

    void tabVisitsEveryStopInOrder_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QStringList>("cycle");
        const QStringList boxes = QStringLiteral("txtName txtAddress txtPhone txtPosition txtOfficeaddress "
                                                 "txtOfficephone txtEmail txtWeb")
                                      .split(u' ');
        const auto row = [&](const char *form, const char *state, const char *stops, const QStringList &before) {
            QTest::addRow("%s %s", form, state)
                << QString::fromLatin1(form) << QString::fromLatin1(state)
                << before + QString::fromLatin1(stops).split(u' ', Qt::SkipEmptyParts);
        };
        row("frmadd", "browsing", "cmdAdd cmdFind cmdDelete cmdExit", boxes);
        row("frmadd", "adding", "cmdExit cmdok cmdCancel", boxes); // Exit lies behind Cancel
        row("frmadd", "after save", "cmdAdd cmdFind cmdDelete cmdExit", boxes);
        row("frmfind", "browsing", "cmdFind cmdEdit cmdExit VScroll2 VScroll1", boxes);
        row("frmfind", "searched", "cmdEdit cmdExit VScroll2 VScroll1", boxes);
        row("frmfind", "editing", "cmdEdit cmdExit VScroll2 VScroll1 cmdUpdate cmdCancel", boxes);
        row("frmfind", "after edit", "cmdFind cmdEdit cmdExit VScroll2 VScroll1", boxes);
        row("frmPrint", "browsing",
            "VScroll2 VScroll1 txtWeb txtEmail txtOfficeaddress txtPosition txtPhone txtAddress txtName cmdFind "
            "cmdExit cmdPrint txtOfficePhone",
            {});
    }

    // From where the focus starts, Tab goes round every stop once.
    void tabVisitsEveryStopInOrder()
    {
        QFETCH(QString, form);
        QFETCH(QString, state);
        QFETCH(QStringList, cycle);
        TestProgram t;
        auto *f = showWith(t, form, {QStringLiteral("Ann")});
        QVERIFY(QTest::qWaitForWindowActive(f));
        const auto press = [&](const char *button) { f->findChild<QPushButton *>(QLatin1String(button))->click(); };
        if (state != QLatin1String("browsing") && state != QLatin1String("searched"))
            startWork(t, f);
        if (state == QLatin1String("after save")) {
            f->txtName->setText(QStringLiteral("Bob"));
            press("cmdok");
        } else if (state == QLatin1String("after edit")) {
            press("cmdCancel");
        } else if (state == QLatin1String("searched")) {
            t.dialogs().type(QStringLiteral("Ann"));
            press("cmdFind");
        }
        f->focusWidget()->setFocus(); // the focus a state change leaves, in the window now active

        QStringList visited;
        while (visited.size() <= cycle.size()) {
            visited.append(QApplication::focusWidget()->objectName());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (QApplication::focusWidget() == f->findChild<QWidget *>(cycle.constFirst()))
                break;
        }
        QCOMPARE(visited, cycle);
    }
};

QTEST_MAIN(TestRecordForm)
#include "tst_recordform.moc"
