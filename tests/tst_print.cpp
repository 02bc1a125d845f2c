#include "contacts/DataControl.h"
#include "contacts/Recordset.h"
#include "printing/frmPrint.h"
#include "printing/frmPrintpre.h"
#include "support/RecordFormFixture.h"
#include "support/TestProgram.h"
#include "toolkit/Controls.h"
#include "toolkit/Twips.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using Box = ScriptedDialogs::Box;

namespace {

const QString Print = QStringLiteral("frmPrint");
const QString Preview = QStringLiteral("frmPrintpre");

ContactValues contact(const QString &name)
{
    ContactValues values;
    values[0] = name;
    for (int i = 1; i < ContactFieldCount; ++i)
        values[size_t(i)] = QStringLiteral("%1 #%2").arg(name).arg(i);
    return values;
}

void store(const TestProgram &t, const QList<ContactValues> &contacts)
{
    Recordset records;
    QVERIFY2(records.open(RecordFormFixture::databasePath(t)), qPrintable(records.lastError()));
    for (const ContactValues &values : contacts) {
        QVERIFY(records.AddNew());
        for (int i = 0; i < ContactFieldCount; ++i)
            records.setValue(static_cast<ContactField>(i), values[size_t(i)]);
        QVERIFY2(records.Update(), qPrintable(records.lastError()));
    }
}

// Shows the Print Record form, moves to the given record and opens the preview.
frmPrintpre *previewOf(TestProgram &t, int record = 0)
{
    auto *print = t.show<frmPrint>(Print);
    for (int i = 0; i < record; ++i)
        print->Data1->Recordset()->MoveNext();
    print->cmdPrint->click();
    return t.form<frmPrintpre>(Preview);
}

// The next widget that Tab moves the focus to.
QWidget *nextTabStop(QWidget *widget)
{
    QWidget *next = widget->nextInFocusChain();
    while (next != widget && !(next->isVisibleTo(widget->window()) && (next->focusPolicy() & Qt::TabFocus)))
        next = next->nextInFocusChain();
    return next;
}

QImage rgb(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

bool isPlain(const QImage &image)
{
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != first)
                return false;
        }
    }
    return true;
}

} // namespace

class TestPrint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // --- the Print Record form ------------------------------------------------

    void anEmptyNameIsRefused_data()
    {
        QTest::addColumn<QList<ContactValues>>("contacts");
        QTest::addColumn<bool>("byEnter");
        ContactValues nameless = contact(QStringLiteral("x"));
        nameless[0].clear();
        QTest::newRow("empty table") << QList<ContactValues>() << false;
        QTest::newRow("contact without a name") << QList<ContactValues>{nameless} << false;
        QTest::newRow("empty table, Enter") << QList<ContactValues>() << true;
    }

    void anEmptyNameIsRefused()
    {
        QFETCH(QList<ContactValues>, contacts);
        QFETCH(bool, byEnter);
        TestProgram t;
        store(t, contacts);
        auto *print = t.show<frmPrint>(Print);
        print->txtAddress->setFocus();
        t.dialogs().answer(MsgBox::Ok);
        if (byEnter)
            QTest::keyClick(print->txtAddress, Qt::Key_Return);
        else
            print->cmdPrint->click();
        t.settle();

        const QList<Box> asked = t.dialogs().takeAsked();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].prompt, QString());
        QCOMPARE(asked[0].style, int(MsgBox::OkOnly));
        QCOMPARE(asked[0].title, std::optional<QString>(QStringLiteral("No record available ")));
        QCOMPARE(print->focusWidget(), print->txtName);
        QCOMPARE(t.visibleForms(), QStringList{Print});
        if (!contacts.isEmpty())
            QCOMPARE(print->txtAddress->text(), contacts[0][1]); // still on the same contact
    }

    void aNameOfBlanksIsPrintable()
    {
        TestProgram t;
        store(t, {contact(QStringLiteral("   "))});
        QPointer<frmPrint> print = t.show<frmPrint>(Print);
        print->cmdPrint->click();
        t.settle();
        QVERIFY(t.dialogs().asked().isEmpty());
        QVERIFY(print.isNull());
        QCOMPARE(t.visibleForms(), QStringList{Preview});
        QCOMPARE(t.form<frmPrintpre>(Preview)->windowTitle(), QStringLiteral("    - Print"));
    }

    // --- the preview: what it shows --------------------------------------------

    void thePreviewCopiesEachValueExactly_data()
    {
        QTest::addColumn<ContactValues>("values");
        QTest::newRow("every field different")
            << ContactValues{QStringLiteral("Zoë Ångström"),    QStringLiteral("Straße 5, 50667 Köln"),
                             QStringLiteral("+49 221 0000"),    QStringLiteral("Δ lead"),
                             QStringLiteral("Office 7, Ωmega"), QStringLiteral("+49 221 1111"),
                             QStringLiteral("zoe@example.org"), QStringLiteral("https://example.org/zoe")};
        QTest::newRow("empty fields stay empty")
            << ContactValues{QStringLiteral("Ann"), QString(), QString(), QString(),
                             QString(),              QString(), QString(), QStringLiteral("ann.example")};
    }

    void thePreviewCopiesEachValueExactly()
    {
        QFETCH(ContactValues, values);
        TestProgram t;
        store(t, {values});
        auto *print = t.show<frmPrint>(Print);
        // The preview reads the e-mail and web boxes by their array indices.
        QCOMPARE(print->txtEmail(1)->text(), values[6]);
        QCOMPARE(print->txtWeb(0)->text(), values[7]);
        print->cmdPrint->click();
        auto *preview = t.form<frmPrintpre>(Preview);
        QVERIFY(preview);

        QCOMPARE(preview->windowTitle(), values[0] + QStringLiteral(" - Print"));
        const QList<QLabel *> labels = {preview->Label1, preview->Label2, preview->Label3, preview->Label4,
                                        preview->Label5, preview->Label6, preview->Label7, preview->Label8};
        for (int i = 0; i < ContactFieldCount; ++i) {
            QCOMPARE(labels[i]->text(), values[size_t(i)]);
            QCOMPARE(labels[i]->textFormat(), Qt::PlainText);
        }
    }

    void theCardIsLaidOutAsDesigned_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<bool>("bold");
        const auto row = [](const char *name, const char *caption, QRect twips, bool bold) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(caption) << twips << bold;
        };
        row("Label12", "Name", {120, 600, 495, 255}, true);
        row("Label13", "Address", {120, 1200, 690, 195}, true);
        row("Label14", "Phone Number", {120, 1800, 1260, 195}, true);
        row("Label15", "Position", {120, 2400, 690, 195}, true);
        row("Label16", "Office Address", {120, 3120, 1260, 195}, true);
        row("Label17", "Office Phone", {120, 3840, 1125, 195}, true);
        row("Label18", "Email Address", {120, 4440, 1200, 195}, true);
        row("Label19", "Web Address", {120, 5160, 1140, 195}, true);
        row("Label1", "", {1560, 600, 2175, 375}, false);
        row("Label2", "", {1560, 1200, 4815, 495}, false);
        row("Label3", "", {1560, 1800, 2415, 375}, false);
        row("Label4", "", {1560, 2400, 2535, 375}, false);
        row("Label5", "", {1560, 3120, 4575, 495}, false);
        row("Label6", "", {1560, 3840, 2775, 375}, false);
        row("Label7", "", {1560, 4440, 3135, 375}, false);
        row("Label8", "", {1560, 5160, 3495, 375}, false);
    }

    void theCardIsLaidOutAsDesigned()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QRect, twips);
        QFETCH(bool, bold);
        TestProgram t;
        auto *preview = t.show<frmPrintpre>(Preview); // no Print Record form: nothing to copy
        auto *label = preview->findChild<QLabel *>(name);
        QVERIFY(label);
        QCOMPARE(label->parentWidget(), preview->Frame1);
        QCOMPARE(label->text(), caption);
        QCOMPARE(label->geometry(), pixelsFromTwips(twips));
        QCOMPARE(label->font().bold(), bold);
        QVERIFY(label->isVisible());
    }

    void theFrameAndButtonsAreInPlace()
    {
        TestProgram t;
        auto *preview = t.show<frmPrintpre>(Preview);
        QCOMPARE(preview->size(), twipsSize(7815, 6900));
        QCOMPARE(preview->Frame1->geometry(), pixelsFromTwips(QRect(480, 0, 6855, 5655)));
        QCOMPARE(preview->Frame1->caption(), QString());
        QCOMPARE(preview->cmdPrint->text(), QStringLiteral("&Print"));
        QCOMPARE(preview->cmdPrint->toolTip(), QStringLiteral("Print"));
        QCOMPARE(preview->cmdPrint->geometry(), pixelsFromTwips(QRect(2040, 5880, 1455, 855)));
        QCOMPARE(preview->cmdCancel->text(), QStringLiteral("&Cancel"));
        QCOMPARE(preview->cmdCancel->toolTip(), QStringLiteral("Cancel"));
        QCOMPARE(preview->cmdCancel->geometry(), pixelsFromTwips(QRect(4080, 5880, 1455, 855)));
        QCOMPARE(preview->defaultButton(), preview->cmdPrint);
        // Only the two buttons take the focus, Print first.
        QCOMPARE(preview->focusWidget(), preview->cmdPrint);
        QCOMPARE(nextTabStop(preview->cmdPrint), preview->cmdCancel);
        QCOMPARE(nextTabStop(preview->cmdCancel), preview->cmdPrint);
    }

    // --- the preview: printing and leaving -----------------------------------

    void printingPutsTheCardWithoutButtonsOnOnePage()
    {
        TestProgram t;
        store(t, {contact(QStringLiteral("Ann")), contact(QStringLiteral("Émile Zola"))});
        QPointer<frmPrintpre> preview = previewOf(t, 1);
        QVERIFY(preview);
        const QImage frame = rgb(preview->Frame1->grab().toImage());

        preview->cmdPrint->click();

        QCOMPARE(t.printer().jobs().size(), 1);
        const CapturingPrinter::Job &job = t.printer().jobs().first();
        QCOMPARE(job.pages.size(), 1);
        QCOMPARE(job.title, QStringLiteral("Émile Zola - Print"));
        // The window's image at its size on screen, at the top left of the printable area.
        const QImage card = rgb(job.pages[0]).copy(QRect(job.paintRect.topLeft(), preview->size()));
        QCOMPARE(card.copy(preview->Frame1->geometry()), frame);
        const int below = preview->Frame1->geometry().bottom() + 1;
        QVERIFY2(isPlain(card.copy(0, below, card.width(), card.height() - below)), "a button was printed");
        // Shown again before the preview closed.
        QVERIFY(preview && !preview->cmdPrint->isHidden() && !preview->cmdCancel->isHidden());
    }

    void bothButtonsReturnToAFreshPrintRecordForm_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("pagesPrinted");
        QTest::newRow("Print") << QStringLiteral("print") << 1;
        QTest::newRow("Enter") << QStringLiteral("enter") << 1;
        QTest::newRow("Cancel") << QStringLiteral("cancel") << 0;
    }

    void bothButtonsReturnToAFreshPrintRecordForm()
    {
        QFETCH(QString, how);
        QFETCH(int, pagesPrinted);
        TestProgram t;
        store(t, {contact(QStringLiteral("Ann")), contact(QStringLiteral("Bob"))});
        QPointer<frmPrintpre> preview = previewOf(t, 1);
        QCOMPARE(preview->Label1->text(), QStringLiteral("Bob"));
        QVERIFY(!t.program().isOpen(Print));

        if (how == QLatin1String("print"))
            preview->cmdPrint->click();
        else if (how == QLatin1String("enter"))
            QTest::keyClick(preview, Qt::Key_Return);
        else
            preview->cmdCancel->click();
        t.settle();

        QCOMPARE(t.printer().jobs().size(), pagesPrinted);
        QVERIFY(preview.isNull());
        QCOMPARE(t.visibleForms(), QStringList{Print});
        QCOMPARE(t.form<frmPrint>(Print)->txtName->text(), QStringLiteral("Ann"));
        QVERIFY(t.dialogs().asked().isEmpty());
    }

    void closingThePreviewByItsFrameLeavesNeitherWindowOpen()
    {
        TestProgram t;
        QSignalSpy finished(&t.program(), &Program::finished);
        store(t, {contact(QStringLiteral("Ann"))});
        auto *preview = previewOf(t);
        preview->close();
        t.settle();
        QVERIFY(!t.program().isOpen(Preview));
        QVERIFY(!t.program().isOpen(Print));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(t.printer().attempts(), 0);
    }

    // --- the preview: a print that fails ----------------------------------------

    void aFailedPrintIsToldAndThePreviewStays_data()
    {
        QTest::addColumn<int>("answer");        // to "save it as a PDF file instead?"
        QTest::addColumn<QString>("saveAs");    // the file chosen, "" for Cancel
        QTest::addColumn<QString>("lastTitle"); // of the last box: the outcome told
        QTest::addColumn<bool>("written");
        QTest::newRow("PDF declined") << int(MsgBox::No) << QString() << QString() << false;
        QTest::newRow("save cancelled") << int(MsgBox::Yes) << QString() << QString() << false;
        QTest::newRow("saved") << int(MsgBox::Yes) << QStringLiteral("card.pdf") << QStringLiteral("Print") << true;
        QTest::newRow("folder missing") << int(MsgBox::Yes) << QStringLiteral("missing/card.pdf")
                                        << QStringLiteral("Print") << false;
    }

    void aFailedPrintIsToldAndThePreviewStays()
    {
        QFETCH(int, answer);
        QFETCH(QString, saveAs);
        QFETCH(QString, lastTitle);
        QFETCH(bool, written);
        TestProgram t;
        store(t, {contact(QStringLiteral("Ann/Bob"))});
        QPointer<frmPrintpre> preview = previewOf(t);
        const QString path = saveAs.isEmpty() ? QString() : t.dataDirectory() + QLatin1Char('/') + saveAs;

        t.printer().failNext(QStringLiteral("No default printer is set up on this computer."));
        t.dialogs().answer(answer);
        if (answer == MsgBox::Yes)
            t.dialogs().saveAs(path);
        if (!lastTitle.isEmpty())
            t.dialogs().answer(MsgBox::Ok);
        preview->cmdPrint->click();
        t.settle();

        const QList<Box> asked = t.dialogs().takeAsked();
        QVERIFY(t.dialogs().allAnswersUsed());
        QCOMPARE(asked[0].style, int(MsgBox::YesNoExclamation));
        QVERIFY2(asked[0].prompt.contains(QStringLiteral("could not be printed: No default printer")),
                 qPrintable(asked[0].prompt));
        if (answer == MsgBox::Yes) {
            QCOMPARE(asked[1].kind, Box::SaveFile);
            QVERIFY2(asked[1].title->endsWith(QStringLiteral("/Ann_Bob.pdf")), qPrintable(*asked[1].title));
        }
        if (!lastTitle.isEmpty()) {
            QCOMPARE(asked.last().title, std::optional<QString>(lastTitle));
            QVERIFY2(asked.last().prompt.contains(QDir::toNativeSeparators(path)), qPrintable(asked.last().prompt));
        }
        QCOMPARE(QFile::exists(path), written);
        if (written) {
            QFile pdf(path);
            QVERIFY(pdf.open(QIODevice::ReadOnly));
            QVERIFY(pdf.read(5) == "%PDF-");
        }

        // Nothing was taken for printed: the preview stays, ready to try again;
        // Enter prints (the focus is back on Print, not lost with the buttons).
        QCOMPARE(t.printer().jobs().size(), 0);
        QVERIFY(preview);
        QCOMPARE(t.visibleForms(), QStringList{Preview});
        QVERIFY(preview->cmdPrint->isVisible() && preview->cmdCancel->isVisible());
        QCOMPARE(preview->focusWidget(), preview->cmdPrint);
        QTest::keyClick(preview, Qt::Key_Return);
        t.settle();
        QCOMPARE(t.printer().jobs().size(), 1);
        QCOMPARE(t.visibleForms(), QStringList{Print});
    }
};

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
