#include "contacts/DataControl.h"
#include "contacts/RecordForm.h"
#include "contacts/Recordset.h"
#include "maintenance/frmadd.h"
#include "printing/frmPrint.h"
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
        QCOMPARE(f->lblWelcome->objectName(), form == QStringLiteral("frmPrint") ? QStringLiteral("lblwelcome")
                                                                                 : QStringLiteral("lblWelcome"));
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
        seed(t, {QStringLiteral("Ann"), QStringLiteral("Bob"), QStringLiteral("Cy")});
        auto *f = t.show<RecordForm>(form);
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

    void keysBrowseWhileTheBarShows()
    {
        TestProgram t;
        seed(t, {QStringLiteral("Ann"), QStringLiteral("Bob"), QStringLiteral("Cy")});
        auto *f = t.show<RecordForm>(QStringLiteral("frmadd"));
        QVERIFY(QTest::qWaitForWindowActive(f));
        QTest::keyClick(f->txtName, Qt::Key_PageDown);
        QCOMPARE(f->txtName->text(), QStringLiteral("Bob"));
        QTest::keyClick(f->txtName, Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(f->txtName->text(), QStringLiteral("Cy"));
        QTest::keyClick(f->txtName, Qt::Key_PageUp);
        QCOMPARE(f->txtName->text(), QStringLiteral("Bob"));
        QTest::keyClick(f->txtName, Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(f->Data1->caption(), QStringLiteral("Ann"));

        f->Data1->hide(); // as while adding
        QTest::keyClick(f->txtName, Qt::Key_PageDown);
        QCOMPARE(f->txtName->text(), QStringLiteral("Ann"));
    }

    void exitAsksAndYesReturnsToTheMainWindow_data() { welcomesTheUserInCapitals_data(); }

    void exitAsksAndYesReturnsToTheMainWindow()
    {
        QFETCH(QString, form);
        TestProgram t;
        seed(t, {QStringLiteral("Ann"), QStringLiteral("Bob")});
        QPointer<RecordForm> f = t.show<RecordForm>(form);
        clickArrow(f->Data1, "moveNext");

        t.dialogs().answer(MsgBox::No);
        f->cmdExit->click();
        const auto asked = t.dialogs().takeAsked();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].prompt, QStringLiteral("Do you want to exit ?"));
        QCOMPARE(asked[0].style, int(MsgBox::YesNoExclamation));
        QCOMPARE(asked[0].title, std::optional<QString>(QStringLiteral("Exit")));
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

    void closeBoxUnloadsWithoutAsking()
    {
        TestProgram t;
        t.show<RecordForm>(QStringLiteral("frmadd"));
        t.show<RecordForm>(QStringLiteral("frmfind"))->close();
        t.settle();
        QVERIFY(t.dialogs().asked().isEmpty());
        QVERIFY(!t.program().isOpen(QStringLiteral("frmfind")));
        QVERIFY(!t.program().isOpen(QStringLiteral("MDIMain")));
    }

    void scrollBarsMoveNothing()
    {
        TestProgram t;
        seed(t, {QStringLiteral("Ann"), QStringLiteral("Bob")});
        auto *f = t.show<RecordForm>(QStringLiteral("frmfind"));
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
        QCOMPARE(add->lblofficephone->objectName(), QStringLiteral("lblofficephone"));
        QCOMPARE(print->txtOfficePhone->objectName(), QStringLiteral("txtOfficePhone"));
        QCOMPARE(print->lblPosititon->objectName(), QStringLiteral("lblPosititon"));
        QCOMPARE(add->Data1->parentWidget(), add);          // in front of the frame
        QCOMPARE(print->Data1->parentWidget(), print->Record); // inside the frame
    }

    void tabVisitsEveryStopInOrder_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QStringList>("cycle");
        const QStringList boxes = {QStringLiteral("txtName"),  QStringLiteral("txtAddress"), QStringLiteral("txtPhone"),
                                   QStringLiteral("txtPosition"), QStringLiteral("txtOfficeaddress"),
                                   QStringLiteral("txtOfficephone"), QStringLiteral("txtEmail"), QStringLiteral("txtWeb")};
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
        seed(t, {QStringLiteral("Ann")});
        auto *f = t.show<RecordForm>(form);
        QVERIFY(QTest::qWaitForWindowActive(f));
        const auto press = [&](const char *button) { f->findChild<QPushButton *>(QLatin1String(button))->click(); };
        if (state != QLatin1String("browsing") && state != QLatin1String("searched")) {
            t.dialogs().answer(MsgBox::Yes);
            press(form == QLatin1String("frmadd") ? "cmdAdd" : "cmdEdit");
        }
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
        for (QWidget *at = QApplication::focusWidget(); visited.size() <= cycle.size(); at = QApplication::focusWidget()) {
            visited.append(at->objectName());
            QTest::keyClick(at, Qt::Key_Tab);
            if (QApplication::focusWidget() == f->findChild<QWidget *>(cycle.constFirst()))
                break;
        }
        QCOMPARE(visited, cycle);
    }

    void aSaveByOneFormShowsInAnotherAfterRefresh()
    {
        TestProgram t;
        seed(t, {QStringLiteral("Ann")});
        auto *add = t.show<RecordForm>(QStringLiteral("frmadd"));
        auto *find = t.show<RecordForm>(QStringLiteral("frmfind"));
        Recordset *records = add->Data1->Recordset();
        QVERIFY(records->AddNew());
        add->txtName->setText(QStringLiteral("Zed"));
        QVERIFY(add->Data1->UpdateRecord());

        QVERIFY(find->Data1->Refresh());
        clickArrow(find->Data1, "moveLast");
        QCOMPARE(find->txtName->text(), QStringLiteral("Zed"));
    }
};

QTEST_MAIN(TestRecordForm)
#include "tst_recordform.moc"
