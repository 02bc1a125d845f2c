#include "contacts/Recordset.h"
#include "printing/frmPrint.h"
#include "printing/frmPrintpre.h"
#include "recordform/DataControl.h"
#include "support/RecordFormFixture.h"
#include "support/TestProgram.h"
#include "toolkit/Controls.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

using namespace RecordFormFixture;
using Box = ScriptedDialogs::Box;

namespace {

const QString Print = QStringLiteral("frmPrint");
const QString Preview = QStringLiteral("frmPrintpre");

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

    void aNameOfBlanksIsPrintable()
    {
        TestProgram t;
        seed(t, QStringList{QStringLiteral("   ")});
        QPointer<frmPrint> print = t.show<frmPrint>(Print);
        print->cmdPrint->click();
        t.settle();
        QVERIFY(t.dialogs().asked().isEmpty());
        QVERIFY(print.isNull());
        QCOMPARE(t.visibleForms(), QStringList{Preview});
        QCOMPARE(t.form<frmPrintpre>(Preview)->caption(), QStringLiteral("    - Print"));
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
        QTest::newRow("markers, markup, ampersands")
            << ContactValues{QStringLiteral("A[*]B [*][*] <b>Bo</b> & &Co %1"), QStringLiteral("<i>x</i>"), QString(),
                             QString(), QString(), QString(), QString(), QString()};
        QTest::newRow("empty fields stay empty")
            << ContactValues{QStringLiteral("Ann"), QString(), QString(), QString(),
                             QString(),              QString(), QString(), QStringLiteral("ann.example")};
    }

    void thePreviewCopiesEachValueExactly()
    {
        QFETCH(ContactValues, values);
        TestProgram t;
        seed(t, QList<ContactValues>{values});
        auto *print = t.show<frmPrint>(Print);
        // The preview reads the e-mail and web boxes by their array indices.
        QCOMPARE(print->txtEmail(1)->text(), values[6]);
        QCOMPARE(print->txtWeb(0)->text(), values[7]);
        print->cmdPrint->click();
        auto *preview = t.form<frmPrintpre>(Preview);
        QVERIFY(preview);

        // The caption as the window system shows it.
        QCOMPARE(preview->windowHandle()->title(), values[0] + QStringLiteral(" - Print"));
        const QList<QLabel *> labels = {preview->Label1, preview->Label2, preview->Label3, preview->Label4,
                                        preview->Label5, preview->Label6, preview->Label7, preview->Label8};
        for (int i = 0; i < ContactFieldCount; ++i) {
            QCOMPARE(labels[i]->text(), values[size_t(i)]);
            QCOMPARE(labels[i]->textFormat(), Qt::PlainText);
        }
    }

    // The card's captions are short enough for their labels, on one line.
    void theCardShowsItsCaptionsWholeAndTakesNoFocus()
    {
        TestProgram t;
        auto *preview = t.show<frmPrintpre>(Preview); // no Print Record form: nothing to copy
        const QStringList captions = {QStringLiteral("Name"),           QStringLiteral("Address"),
                                      QStringLiteral("Phone Number"),   QStringLiteral("Position"),
                                      QStringLiteral("Office Address"), QStringLiteral("Office Phone"),
                                      QStringLiteral("Email Address"),  QStringLiteral("Web Address")};
        for (int i = 0; i < captions.size(); ++i) {
            auto *label = preview->findChild<QLabel *>(QStringLiteral("Label%1").arg(12 + i));
            QCOMPARE(label->text(), captions[i]);
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(), qPrintable(captions[i]));
            QVERIFY(preview->Frame1->rect().contains(label->geometry()));
        }
        QCOMPARE(preview->cmdPrint->text(), QStringLiteral("&Print"));
        QCOMPARE(preview->cmdPrint->toolTip(), QStringLiteral("Print"));
        QCOMPARE(preview->cmdCancel->text(), QStringLiteral("&Cancel"));
        QCOMPARE(preview->cmdCancel->toolTip(), QStringLiteral("Cancel"));
        QCOMPARE(preview->defaultButton(), preview->cmdPrint);
        // Only the two buttons take the focus, Print first.
        QCOMPARE(preview->focusWidget(), preview->cmdPrint);
        QCOMPARE(nextTabStop(preview->cmdPrint), preview->cmdCancel);
        QCOMPARE(nextTabStop(preview->cmdCancel), preview->cmdPrint);
    }

    void printingPutsTheCardWithoutButtonsOnOnePage()
    {
        TestProgram t;
        seed(t, QStringList{QStringLiteral("Ann"), QStringLiteral("Émile [*] Zola")});
        QPointer<frmPrintpre> preview = previewOf(t, 1);
        QVERIFY(preview);
        preview->cmdPrint->click();

        QCOMPARE(t.printer().jobs().size(), 1);
        const CapturingPrinter::Job &job = t.printer().jobs().first();
        QCOMPARE(job.pages.size(), 1);
        QCOMPARE(job.title, QStringLiteral("Émile [*] Zola - Print"));
        // The window's image at its size on screen, at the top left of the
        // printable area: the card, and nothing below it or beside it.
        const QImage page = rgb(job.pages[0]);
        const QImage card = page.copy(QRect(job.paintRect.topLeft(), preview->size()));
        QVERIFY(!isPlain(card.copy(preview->Frame1->geometry())));
        const int below = preview->Frame1->geometry().bottom() + 1;
        QVERIFY2(isPlain(card.copy(0, below, card.width(), card.height() - below)), "a button was printed");
        const QRect beside(job.paintRect.left() + preview->width(), job.paintRect.top(),
                           job.paintRect.width() - preview->width(), job.paintRect.height());
        QVERIFY(isPlain(page.copy(beside)));
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
        seed(t, QStringList{QStringLiteral("Ann"), QStringLiteral("Bob")});
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
        seed(t, QStringList{QStringLiteral("Ann")});
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
        seed(t, QStringList{QStringLiteral("Ann/Bob")});
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
            QCOMPARE(pdf.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions()); // the owner's only
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
