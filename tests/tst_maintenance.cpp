#include "contacts/Recordset.h"
#include "maintenance/frmadd.h"
#include "maintenance/frmfind.h"
#include "recordform/DataControl.h"
#include "shell/MDIMain.h"
#include "support/RecordFormFixture.h"
#include "support/TestProgram.h"
#include "toolkit/Controls.h"

#include <QAction>
#include <QLineEdit>
#include <QTest>

using namespace RecordFormFixture;
using Box = ScriptedDialogs::Box;

class TestMaintenance : public QObject
{
    Q_OBJECT

private:
    static frmadd *openAdd(TestProgram &t, const QStringList &names)
    {
        seed(t, names);
        return t.show<frmadd>(QStringLiteral("frmadd"));
    }
    static frmfind *openFind(TestProgram &t, const QStringList &names)
    {
        seed(t, names);
        return t.show<frmfind>(QStringLiteral("frmfind"));
    }
    static void startAdding(TestProgram &t, frmadd *f)
    {
        t.dialogs().answer(MsgBox::Yes);
        f->cmdAdd->click();
        compareBox(t.dialogs().takeOnly(), QStringLiteral("Do you want to add a new contact ?"),
                   MsgBox::YesNoExclamation, QStringLiteral("Add"));
    }
    static void startEditing(TestProgram &t, frmfind *f)
    {
        t.dialogs().answer(MsgBox::Yes);
        f->cmdEdit->click();
        compareBox(t.dialogs().takeOnly(),
                   QStringLiteral("Do you want to edit ") + f->txtName->text() + QStringLiteral(" ?"),
                   MsgBox::YesNoExclamation, QStringLiteral("Edit"));
    }

private Q_SLOTS:
    // --- Find by name ---------------------------------------------------------

    void findFindsByName_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("found"); // empty: no match
        const QStringList names = {QStringLiteral("frmadd"), QStringLiteral("frmfind"), QStringLiteral("frmPrint")};
        for (const QString &form : names) {
            // How names compare is tested once, in NameFoldingCases.h.
            QTest::addRow("%s exact", qPrintable(form)) << form << QStringLiteral("Bob") << QStringLiteral("Bob");
            QTest::addRow("%s apostrophe", qPrintable(form)) << form << QStringLiteral("o'brien") << QStringLiteral("O'Brien");
            QTest::addRow("%s only blanks", qPrintable(form)) << form << QStringLiteral("  ") << QString();
        }
    }

    void findFindsByName()
    {
        QFETCH(QString, form);
        QFETCH(QString, answer);
        QFETCH(QString, found);
        TestProgram t;
        seed(t, {QStringLiteral("Ann"), QStringLiteral("Bob"), QStringLiteral("émile"), QStringLiteral("O'Brien"),
                 QStringLiteral("Bob")});
        auto *f = t.show<RecordForm>(form);
        clickArrow(f->Data1, "moveNext"); // on Bob
        clickArrow(f->Data1, "moveNext"); // on émile
        auto *find = f->findChild<QPushButton *>(QStringLiteral("cmdFind"));

        t.dialogs().type(answer);
        if (found.isEmpty())
            t.dialogs().answer(MsgBox::Ok);
        find->click();
        const auto asked = t.dialogs().takeAsked();
        QCOMPARE(asked[0].kind, Box::Input);
        QCOMPARE(asked[0].prompt, QStringLiteral("Enter Name"));
        QCOMPARE(asked[0].title, std::optional<QString>(QStringLiteral("Find")));
        if (found.isEmpty()) {
            QCOMPARE(asked.size(), 2);
            compareBox(asked[1], QStringLiteral("No Matching Record"), MsgBox::OkOnly, QStringLiteral("Not Found"));
            QCOMPARE(f->txtName->text(), QStringLiteral("émile")); // the contact shown before stays
        } else {
            QCOMPARE(asked.size(), 1);
            QCOMPARE(f->txtName->text(), found);
            QCOMPARE(f->Data1->caption(), found);
            // The earlier of two contacts with one name.
            if (found == QStringLiteral("Bob"))
                QCOMPARE(f->Data1->Recordset()->Bookmark(), std::optional<qint64>(2));
        }
    }

    void findWithNothingTypedSearchesNothing()
    {
        TestProgram t;
        auto *f = openFind(t, {QStringLiteral("Ann")});
        t.dialogs().type(QString()); // nothing typed, or Cancel
        t.dialogs().answer(MsgBox::Ok);
        f->cmdFind->click();
        const auto asked = t.dialogs().takeAsked();
        QCOMPARE(asked.size(), 2);
        compareBox(asked[1], QStringLiteral("Must enter a name."), MsgBox::OkOnly, QString());
        QVERIFY(f->cmdFind->isVisible()); // the find form's buttons stay as they were
        QCOMPARE(f->defaultButton(), f->cmdFind);
    }

    // --- Add and Delete ---------------------------------------------------

    void addAnsweredYesThenSaveStoresTheContact()
    {
        TestProgram t;
        auto *f = openAdd(t, {QStringLiteral("Ann"), QStringLiteral("Bob")});
        QVERIFY(f->txtName->isReadOnly());
        QCOMPARE(f->defaultButton(), f->cmdAdd);
        startAdding(t, f);

        QVERIFY(!f->Data1->isVisible());
        QVERIFY(!f->cmdFind->isVisible() && !f->cmdAdd->isVisible() && !f->cmdDelete->isVisible());
        QVERIFY(f->cmdok->isVisible() && f->cmdCancel->isVisible() && f->cmdExit->isVisible());
        QCOMPARE(f->defaultButton(), f->cmdok);
        QVERIFY(!f->txtWeb->isReadOnly());
        QCOMPARE(f->txtName->text(), QString());

        QTest::keyClicks(f->txtName, QStringLiteral("Zo"));
        f->txtName->insert(QStringLiteral("ë"));
        f->txtPhone->setText(QStringLiteral("555"));
        QTest::keyClick(f->txtName, Qt::Key_Return); // Enter presses Save
        QVERIFY(t.dialogs().asked().isEmpty());

        QCOMPARE(storedNames(t), (QStringList{QStringLiteral("Ann"), QStringLiteral("Bob"), QStringLiteral("Zoë")}));
        QCOMPARE(stored(t).last()[2], QStringLiteral("555"));
        QCOMPARE(stored(t).last()[1], QString()); // untouched boxes are stored empty
        QCOMPARE(f->txtName->text(), QStringLiteral("Ann")); // the first contact is shown again
        QVERIFY(f->Data1->isVisible() && f->cmdFind->isVisible() && f->cmdAdd->isVisible());
        QVERIFY(!f->cmdok->isVisible() && !f->cmdCancel->isVisible());
        // Save keeps the boxes unlocked and the default role: Enter no longer adds.
        QVERIFY(!f->txtName->isReadOnly());
        QCOMPARE(f->defaultButton(), f->cmdok);
        QTest::keyClick(f->txtName, Qt::Key_Return);
        QVERIFY(t.dialogs().asked().isEmpty());
    }

    void addAnsweredNoChangesNothing()
    {
        TestProgram t;
        auto *f = openAdd(t, {QStringLiteral("Ann")});
        t.dialogs().answer(MsgBox::No);
        f->cmdAdd->click();
        QVERIFY(f->cmdAdd->isVisible() && f->Data1->isVisible());
        QVERIFY(f->txtName->isReadOnly());
        QCOMPARE(f->txtName->text(), QStringLiteral("Ann"));
        QCOMPARE(f->Data1->Recordset()->editMode(), Recordset::EditMode::None);
    }

    void cancelOfAnAddBringsBackThePreviousContact()
    {
        TestProgram t;
        auto *f = openAdd(t, {QStringLiteral("Ann"), QStringLiteral("Bob")});
        clickArrow(f->Data1, "moveNext");
        startAdding(t, f);
        f->txtName->setText(QStringLiteral("Never"));
        f->cmdCancel->click();
        QVERIFY(t.dialogs().asked().isEmpty());
        QCOMPARE(f->txtName->text(), QStringLiteral("Bob"));
        QCOMPARE(f->Data1->caption(), QStringLiteral("Bob"));
        QVERIFY(f->cmdAdd->isVisible() && f->Data1->isVisible() && !f->cmdCancel->isVisible());
        QCOMPARE(storedNames(t), (QStringList{QStringLiteral("Ann"), QStringLiteral("Bob")}));
    }

    void typingLimitsHoldInEveryState_data()
    {
        QTest::addColumn<QString>("state");
        QTest::newRow("adding") << QStringLiteral("adding");
        QTest::newRow("after save") << QStringLiteral("after save");
        QTest::newRow("after cancel") << QStringLiteral("after cancel");
    }

    // At most 20 characters typed into the name and 50 into the address;
    // a longer stored text shows whole, may be shortened, never lengthened.
    void typingLimitsHoldInEveryState()
    {
        QFETCH(QString, state);
        TestProgram t;
        const QString stored = QString(50, u'n') + QStringLiteral(" Ωμέγα Жуков");
        auto *f = openAdd(t, {stored});
        startAdding(t, f);
        if (state == QLatin1String("after save")) {
            f->txtName->setText(QStringLiteral("Zed"));
            f->cmdok->click();
        } else if (state == QLatin1String("after cancel")) {
            f->cmdCancel->click();
        }
        if (state != QLatin1String("adding")) {
            for (QLineEdit *box : {f->txtName, f->txtAddress}) {
                const QString whole = box == f->txtName ? stored : stored + QStringLiteral("/1");
                QCOMPARE(box->text(), whole);
                box->end(false);
                QTest::keyClicks(box, QStringLiteral("x"));
                QCOMPARE(box->text(), whole);
                QTest::keyClick(box, Qt::Key_Backspace);
                QCOMPARE(box->text(), whole.chopped(1));
                box->selectAll();
            }
            f->txtPhone->clear();
        }
        QTest::keyClicks(f->txtName, QString(25, u'n'));
        QTest::keyClicks(f->txtAddress, QString(60, u'a'));
        QTest::keyClicks(f->txtPhone, QString(60, u'5'));
        QCOMPARE(f->txtName->text().size(), 20);
        QCOMPARE(f->txtAddress->text().size(), 50);
        QCOMPARE(f->txtPhone->text().size(), 60);
        QVERIFY(t.dialogs().asked().isEmpty()); // refused quietly, as a full box does
    }

    void deleteRemovesTheContactOnShow_data()
    {
        QTest::addColumn<QStringList>("contacts");
        QTest::addColumn<int>("position");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<QString>("shownAfter");
        const QStringList three = {QStringLiteral("Ann"), QStringLiteral("Bob"), QStringLiteral("Cy")};
        QTest::newRow("middle") << three << 1 << QStringList{QStringLiteral("Ann"), QStringLiteral("Cy")}
                                << QStringLiteral("Cy");
        QTest::newRow("last: none current") << three << 2 << QStringList{QStringLiteral("Ann"), QStringLiteral("Bob")}
                                            << QString();
        QTest::newRow("first") << three << 0 << QStringList{QStringLiteral("Bob"), QStringLiteral("Cy")}
                               << QStringLiteral("Bob");
        QTest::newRow("the only one") << QStringList{QStringLiteral("Solo")} << 0 << QStringList() << QString();
    }

    void deleteRemovesTheContactOnShow()
    {
        QFETCH(QStringList, contacts);
        QFETCH(int, position);
        QFETCH(QStringList, left);
        QFETCH(QString, shownAfter);
        TestProgram t;
        auto *f = openAdd(t, contacts);
        for (int i = 0; i < position; ++i)
            clickArrow(f->Data1, "moveNext");
        const QString name = f->txtName->text();

        t.dialogs().answer(MsgBox::Cancel);
        f->cmdDelete->click();
        // No title of its own: the application's name shows.
        compareBox(t.dialogs().takeOnly(), QStringLiteral("Do you want to delete?") + name + u'?', MsgBox::OkCancel,
                   std::nullopt);
        QCOMPARE(storedNames(t), contacts);

        t.dialogs().answer(MsgBox::Ok);
        f->cmdDelete->click();
        QCOMPARE(storedNames(t), left);
        QCOMPARE(f->txtName->text(), shownAfter);
        QCOMPARE(f->Data1->caption(), shownAfter);
        QCOMPARE(f->txtAddress->text().isEmpty(), shownAfter.isEmpty());
    }

    void droppedWorkIsTold_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<bool>("byCloseBox");
        QTest::addColumn<QString>("notice");
        const QString added = QStringLiteral("The new contact was not saved.");
        const QString edited = QStringLiteral("The changes to Ann were not saved.");
        QTest::newRow("adding, Exit by its key") << QStringLiteral("frmadd") << false << added;
        QTest::newRow("adding, close box") << QStringLiteral("frmadd") << true << added;
        QTest::newRow("editing, Exit by its key") << QStringLiteral("frmfind") << false << edited;
        QTest::newRow("editing, close box") << QStringLiteral("frmfind") << true << edited;
    }

    // Exit lies behind Cancel and keeps its key; closing a form with work
    // under way drops the work, and says so.
    void droppedWorkIsTold()
    {
        QFETCH(QString, form);
        QFETCH(bool, byCloseBox);
        QFETCH(QString, notice);
        TestProgram t;
        auto *f = showWith(t, form, {QStringLiteral("Ann")});
        QVERIFY(QTest::qWaitForWindowActive(f));
        if (auto *add = qobject_cast<frmadd *>(f))
            startAdding(t, add);
        else
            startEditing(t, qobject_cast<frmfind *>(f));
        f->txtName->setText(QStringLiteral("Lost"));
        if (!byCloseBox)
            t.dialogs().answer(MsgBox::Yes);
        t.dialogs().answer(MsgBox::Ok);
        if (byCloseBox)
            f->close();
        else
            QTest::keyClick(f, Qt::Key_X, Qt::AltModifier);
        QTRY_COMPARE(t.dialogs().asked().size(), byCloseBox ? 1 : 2);
        compareBox(t.dialogs().asked().last(), notice, MsgBox::OkOnly, QStringLiteral("Not Saved"));
        t.settle();
        QVERIFY(!t.program().isOpen(form));
        QCOMPARE(storedNames(t), QStringList{QStringLiteral("Ann")});
    }

    // --- Find and Edit ------------------------------------------------------

    void aSearchHandsTheFormToEditFoundOrNot()
    {
        TestProgram t;
        auto *f = openFind(t, {QStringLiteral("Ann"), QStringLiteral("Bob")});
        for (QLineEdit *box : f->textBoxes())
            QVERIFY(box->isReadOnly());
        QVERIFY(!f->cmdUpdate->isVisible() && !f->cmdCancel->isVisible());
        QCOMPARE(f->focusWidget(), f->txtName);
        t.dialogs().type(QStringLiteral("nobody"));
        t.dialogs().answer(MsgBox::Ok);
        QTest::keyClick(f->txtName, Qt::Key_Return); // Enter runs Find
        QCOMPARE(t.dialogs().takeAsked().value(0).prompt, QStringLiteral("Enter Name"));
        QVERIFY(!f->cmdFind->isVisible());
        QCOMPARE(f->defaultButton(), f->cmdEdit);

        // Edit then asks about whatever contact is current.
        t.dialogs().answer(MsgBox::No);
        QTest::keyClick(f->txtName, Qt::Key_Return);
        compareBox(t.dialogs().takeOnly(), QStringLiteral("Do you want to edit Ann ?"), MsgBox::YesNoExclamation,
                   QStringLiteral("Edit"));
        QVERIFY(f->txtName->isReadOnly());
        QVERIFY(!f->cmdUpdate->isVisible());
    }

    void editThenUpdateWritesTheChangedAndErasedFields()
    {
        TestProgram t;
        auto *f = openFind(t, {QStringLiteral("Ann"), QStringLiteral("Bob")});
        clickArrow(f->Data1, "moveNext");
        startEditing(t, f);
        QVERIFY(!f->txtName->isReadOnly() && !f->txtWeb->isReadOnly());
        QVERIFY(f->cmdUpdate->isVisible() && f->cmdCancel->isVisible() && !f->cmdFind->isVisible());
        QCOMPARE(f->defaultButton(), f->cmdUpdate);
        QCOMPARE(f->focusWidget(), f->txtName);

        f->txtName->clear(); // the form refuses nothing: an erased name is stored empty
        f->txtAddress->setText(QStringLiteral("1 New Road"));
        f->txtEmail->clear();
        QTest::keyClick(f->txtAddress, Qt::Key_Return); // Enter presses Update

        const QList<ContactValues> all = stored(t);
        QCOMPARE(all[0][0], QStringLiteral("Ann"));
        QCOMPARE(all[1][0], QString());
        QCOMPARE(all[1][1], QStringLiteral("1 New Road"));
        QCOMPARE(all[1][2], QStringLiteral("Bob/2"));
        QCOMPARE(all[1][6], QString());

        // After edit: Find shows again but is not the default, and the boxes stay open.
        QVERIFY(f->cmdFind->isVisible() && !f->cmdUpdate->isVisible() && !f->cmdCancel->isVisible());
        QCOMPARE(f->defaultButton(), f->cmdUpdate);
        QVERIFY(!f->txtName->isReadOnly());
        QTest::keyClick(f->txtName, Qt::Key_Return);
        QVERIFY(t.dialogs().asked().isEmpty());
    }

    void editThenCancelWritesNothing()
    {
        TestProgram t;
        auto *f = openFind(t, {QStringLiteral("Ann")});
        QVERIFY(QTest::qWaitForWindowActive(f));
        startEditing(t, f);
        f->txtName->setText(QStringLiteral("Changed"));
        QTest::keyClick(f, Qt::Key_C, Qt::AltModifier);
        QTRY_COMPARE(f->txtName->text(), QStringLiteral("Ann"));
        QCOMPARE(storedNames(t), QStringList{QStringLiteral("Ann")});
        QVERIFY(f->cmdFind->isVisible() && !f->cmdCancel->isVisible());

        // Texts typed after the edit cycle are never written.
        f->txtName->setText(QStringLiteral("Typed later"));
        QVERIFY(f->Data1->Refresh());
        QCOMPARE(storedNames(t), QStringList{QStringLiteral("Ann")});
    }

    void aSecondSearchNeedsAnEditCycle()
    {
        TestProgram t;
        auto *f = openFind(t, {QStringLiteral("Ann"), QStringLiteral("Bob")});
        QVERIFY(QTest::qWaitForWindowActive(f));
        t.dialogs().type(QStringLiteral("bob"));
        f->cmdFind->click();
        t.dialogs().takeAsked();
        QCOMPARE(f->txtName->text(), QStringLiteral("Bob"));
        QVERIFY(!f->cmdFind->isVisible());
        // A hidden Find does not answer its key: the Exit asked for after it
        // is the first box, though a key's click comes in the order pressed.
        t.dialogs().answer(MsgBox::No);
        QTest::keyClick(f, Qt::Key_F, Qt::AltModifier);
        QTest::keyClick(f, Qt::Key_X, Qt::AltModifier);
        QTRY_COMPARE(t.dialogs().asked().size(), 1);
        QCOMPARE(t.dialogs().takeOnly().prompt, QStringLiteral("Do you want to exit ?"));

        startEditing(t, f);
        f->cmdCancel->click();
        t.dialogs().type(QStringLiteral("ann"));
        f->cmdFind->click();
        t.dialogs().takeAsked();
        QCOMPARE(f->txtName->text(), QStringLiteral("Ann"));
    }

    void anEditUnderWayIsKept_data()
    {
        QTest::addColumn<bool>("byMenu");
        QTest::newRow("Exit answered No") << false;
        QTest::newRow("hidden by the main window's menu, then shown again") << true;
    }

    void anEditUnderWayIsKept()
    {
        QFETCH(bool, byMenu);
        TestProgram t;
        auto *main = showWith<MDIMain>(t, QStringLiteral("MDIMain"), {QStringLiteral("Ann"), QStringLiteral("Bob")});
        main->mnuupdatetrecord->trigger();
        auto *f = t.form<frmfind>(QStringLiteral("frmfind"));
        startEditing(t, f);
        f->txtPhone->setText(QStringLiteral("typed"));
        if (byMenu) {
            main->mnuprint->trigger();
            QVERIFY(!f->isVisible());
            main->mnufind->trigger();
            QCOMPARE(t.form<frmfind>(QStringLiteral("frmfind")), f);
        } else {
            t.dialogs().answer(MsgBox::No);
            f->cmdExit->click();
            QCOMPARE(t.dialogs().takeOnly().prompt, QStringLiteral("Do you want to exit ?"));
        }
        QVERIFY(f->isVisible() && f->cmdUpdate->isVisible() && f->cmdCancel->isVisible());
        QCOMPARE(f->txtPhone->text(), QStringLiteral("typed"));
        f->cmdUpdate->click();
        QCOMPARE(stored(t)[0][2], QStringLiteral("typed"));
    }

    void movingDuringAnEditIsRefusedWithAMessage()
    {
        TestProgram t;
        auto *f = openFind(t, {QStringLiteral("Ann"), QStringLiteral("Bob")});
        startEditing(t, f);
        f->txtName->setText(QStringLiteral("Annie"));
        t.dialogs().answer(MsgBox::Ok);
        clickArrow(f->Data1, "moveNext");
        QCOMPARE(t.dialogs().takeAsked().size(), 1);
        QCOMPARE(f->txtName->text(), QStringLiteral("Annie"));
        f->cmdUpdate->click();
        QCOMPARE(storedNames(t), (QStringList{QStringLiteral("Annie"), QStringLiteral("Bob")}));
    }

    void updateOfAContactDeletedMeanwhileSaysSo()
    {
        TestProgram t;
        auto *find = showWith<frmfind>(t, QStringLiteral("frmfind"), {QStringLiteral("Ann"), QStringLiteral("Bob")});
        auto *add = t.show<frmadd>(QStringLiteral("frmadd"));
        startEditing(t, find);
        find->txtName->setText(QStringLiteral("Ghost"));

        t.dialogs().answer(MsgBox::Ok);
        add->cmdDelete->click(); // Ann goes
        t.dialogs().takeAsked();

        t.dialogs().answer(MsgBox::Ok);
        find->cmdUpdate->click();
        const Box box = t.dialogs().takeOnly();
        QVERIFY2(box.prompt.contains(QStringLiteral("no longer exists")), qPrintable(box.prompt));
        QCOMPARE(storedNames(t), QStringList{QStringLiteral("Bob")});
        // The typed texts stay on show until the user cancels the edit.
        QVERIFY(find->cmdUpdate->isVisible());
        QCOMPARE(find->txtName->text(), QStringLiteral("Ghost"));

        find->cmdCancel->click();
        QVERIFY(find->cmdFind->isVisible() && !find->cmdUpdate->isVisible());
        QCOMPARE(find->Data1->Recordset()->editMode(), Recordset::EditMode::None);
        QCOMPARE(find->txtName->text(), find->Data1->caption());
        QCOMPARE(storedNames(t), QStringList{QStringLiteral("Bob")});
    }

    // Deleting the last contact frees its row id, and the next contact added
    // takes it: an edit of the deleted one must not land on the newcomer.
    void updateOfAContactReplacedMeanwhileWritesNothing()
    {
        TestProgram t;
        auto *find = showWith<frmfind>(t, QStringLiteral("frmfind"), {QStringLiteral("Ann"), QStringLiteral("Bob")});
        auto *add = t.show<frmadd>(QStringLiteral("frmadd"));
        clickArrow(find->Data1, "moveNext");
        startEditing(t, find);
        find->txtPhone->setText(QStringLiteral("typed for Bob"));

        clickArrow(add->Data1, "moveNext");
        t.dialogs().answer(MsgBox::Ok);
        add->cmdDelete->click();
        t.dialogs().takeAsked();
        startAdding(t, add);
        add->txtName->setText(QStringLiteral("Cy"));
        add->txtPhone->setText(QStringLiteral("Cy's phone"));
        add->cmdok->click();
        QCOMPARE(add->Data1->Recordset()->LastModified(), find->Data1->Recordset()->Bookmark());
        const QList<ContactValues> before = stored(t);

        t.dialogs().answer(MsgBox::Ok);
        find->cmdUpdate->click();
        const Box box = t.dialogs().takeOnly();
        QVERIFY2(box.prompt.contains(QStringLiteral("another window or program")), qPrintable(box.prompt));
        QVERIFY2(box.prompt.contains(databasePath(t)), qPrintable(box.prompt));
        QCOMPARE(stored(t), before);
        QVERIFY(find->cmdUpdate->isVisible());
        find->cmdCancel->click();
        QCOMPARE(stored(t), before);
    }

    // What the user agreed to delete, or opened for editing, is what the
    // form showed: a contact changed elsewhere since is shown as it is now.
    void aContactChangedElsewhereIsShownBeforeItIsDeletedOrEdited()
    {
        TestProgram t;
        auto *add = showWith<frmadd>(t, QStringLiteral("frmadd"), {QStringLiteral("Ann"), QStringLiteral("Bob")});
        auto *find = t.show<frmfind>(QStringLiteral("frmfind"));
        Recordset elsewhere;
        QVERIFY(elsewhere.open(databasePath(t)));
        QVERIFY(elsewhere.Edit());
        elsewhere.setValue(ContactField::Name, QStringLiteral("Annabel"));
        elsewhere.setValue(ContactField::PhoneNumber, QStringLiteral("555 0199"));
        QVERIFY(elsewhere.Update());

        t.dialogs().answer(MsgBox::Ok);
        t.dialogs().answer(MsgBox::Ok);
        add->cmdDelete->click();
        auto asked = t.dialogs().takeAsked();
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked[0].prompt, QStringLiteral("Do you want to delete?Ann?"));
        QVERIFY2(asked[1].prompt.contains(QStringLiteral("changed")), qPrintable(asked[1].prompt));
        QCOMPARE(storedNames(t), (QStringList{QStringLiteral("Annabel"), QStringLiteral("Bob")}));
        QCOMPARE(add->txtName->text(), QStringLiteral("Annabel"));
        QCOMPARE(add->Data1->caption(), QStringLiteral("Annabel"));

        t.dialogs().answer(MsgBox::Yes);
        find->cmdEdit->click();
        QCOMPARE(t.dialogs().takeOnly().prompt, QStringLiteral("Do you want to edit Ann ?")); // as shown
        QCOMPARE(find->txtName->text(), QStringLiteral("Annabel"));
        QCOMPARE(find->txtPhone->text(), QStringLiteral("555 0199"));
        find->txtAddress->setText(QStringLiteral("1 New Road"));
        find->cmdUpdate->click();
        QVERIFY(t.dialogs().asked().isEmpty());
        const ContactValues first = stored(t).constFirst();
        QCOMPARE(first[0], QStringLiteral("Annabel"));
        QCOMPARE(first[1], QStringLiteral("1 New Road"));
        QCOMPARE(first[2], QStringLiteral("555 0199"));
    }
};

QTEST_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
