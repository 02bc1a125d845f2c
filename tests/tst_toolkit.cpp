#include "support/CapturingPrinter.h"
#include "support/ScriptedDialogs.h"
#include "support/TestProgram.h"
#include "support/WhenModalOpens.h"
#include "toolkit/Controls.h"
#include "toolkit/Form.h"
#include "toolkit/Program.h"
#include "toolkit/QtDialogs.h"
#include "toolkit/Translations.h"
#include "toolkit/Twips.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTranslator>
#include <QWindow>

namespace {

// A form that counts its loads and offers a default button, another button
// and a text box.
class SampleForm : public Form
{
    Q_OBJECT

public:
    SampleForm(Program &program, const QString &name, int &loads)
        : Form(program, name)
        , m_loads(loads)
    {
        setCaption(name);
        setClientAreaTwips(3000, 3000, Border::FixedSingle);
        box = makeTextBox(this, QStringLiteral("box"), QRect(120, 120, 2000, 375));
        primary = new CommandButton(this, QStringLiteral("primary"), QStringLiteral("&Go"), QRect(120, 600, 1200, 500));
        other = new CommandButton(this, QStringLiteral("other"), QStringLiteral("&Stop"), QRect(1400, 600, 1200, 500));
        // Lies exactly over `other`, in front of it.
        cover = new CommandButton(this, QStringLiteral("cover"), QStringLiteral("&Cover"), QRect(1400, 600, 1200, 500));
        setDefaultButton(primary);
        box->setFocus();
    }
    void Form_Load() override { ++m_loads; }

    QLineEdit *box;
    CommandButton *primary;
    CommandButton *other;
    CommandButton *cover;

private:
    int &m_loads;
};

// What a real message box showed, and the answer given to it.
struct ShownBox {
    QString title;     // as the window system shows it
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    int width = 0;
};

// Shows a box through the program's real message boxes, answers it with
// `button` once it shows, and tells what it showed.
ShownBox showBox(const QString &prompt, int style, const std::optional<QString> &title,
                 QMessageBox::StandardButton button, int *result = nullptr)
{
    ShownBox shown;
    whenModalOpens([&shown, button](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        shown.title = box->windowHandle()->title();
        shown.text = box->text();
        shown.format = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))->textFormat();
        shown.icon = box->icon();
        for (QAbstractButton *b : box->buttons())
            shown.buttons.append(box->standardButton(b));
        shown.defaultButton = box->standardButton(box->defaultButton());
        shown.width = box->width();
        box->button(button)->click();
    });
    QtDialogs dialogs;
    const int answer = dialogs.messageBox(prompt, style, title);
    if (result)
        *result = answer;
    return shown;
}

using Buttons = QList<QMessageBox::StandardButton>;

} // namespace

class TestToolkit : public QObject
{
    Q_OBJECT

private:
    ScriptedDialogs m_dialogs;
    CapturingPrinter m_printer;
    int m_loadsA = 0;
    int m_loadsB = 0;

    std::unique_ptr<Program> makeProgram()
    {
        m_loadsA = m_loadsB = 0;
        auto program = std::make_unique<Program>(m_dialogs, m_printer, QStringLiteral("/nonexistent"));
        program->registerForm(QStringLiteral("A"), [this](Program &p) { return new SampleForm(p, QStringLiteral("A"), m_loadsA); });
        program->registerForm(QStringLiteral("B"), [this](Program &p) { return new SampleForm(p, QStringLiteral("B"), m_loadsB); });
        return program;
    }

private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("Plimo")); }

    void twipsRoundToTheNearestPixel()
    {
        QCOMPARE(twipsToPixels(7), 0);
        QCOMPARE(twipsToPixels(8), 1);
        QCOMPARE(twipsToPixels(-8), -1); // halves away from zero, both ways
        QCOMPARE(twipsToPixels(7020), 468);
    }

    void showLoadsOnceAndKeepsOneInstance()
    {
        auto program = makeProgram();
        Form *first = program->Show(QStringLiteral("A"));
        QVERIFY(first);
        QCOMPARE(m_loadsA, 1); // the load ran before Show returned
        QVERIFY(first->isVisible());

        program->Show(QStringLiteral("B"));
        QCOMPARE(program->Show(QStringLiteral("A")), first);
        QCOMPARE(m_loadsA, 1);
        QTRY_COMPARE(QApplication::activeWindow(), first); // brought to the front
    }

    void hideKeepsStateAndLeavesClosedFormsClosed()
    {
        auto program = makeProgram();
        program->Show(QStringLiteral("B")); // keeps the program alive
        auto *a = qobject_cast<SampleForm *>(program->Show(QStringLiteral("A")));
        a->box->setText(QStringLiteral("typed"));
        program->Hide(QStringLiteral("A"));
        QVERIFY(program->isOpen(QStringLiteral("A")));
        QVERIFY(!program->isVisible(QStringLiteral("A")));
        QCOMPARE(program->Show(QStringLiteral("A")), a);
        QCOMPARE(a->box->text(), QStringLiteral("typed"));
        QCOMPARE(m_loadsA, 1);

        program->Unload(QStringLiteral("A"));
        program->Hide(QStringLiteral("A"));
        QVERIFY(!program->isOpen(QStringLiteral("A")));
    }

    void unloadFromOwnHandlerThenShowLoadsAfresh()
    {
        auto program = makeProgram();
        QSignalSpy finished(program.get(), &Program::finished);
        auto *a = qobject_cast<SampleForm *>(program->Show(QStringLiteral("A")));
        QPointer<SampleForm> old = a;
        // The handler closes its own window, then shows another: the program goes on.
        connect(a->primary, &QPushButton::clicked, a, [&] {
            program->Unload(QStringLiteral("A"));
            program->Show(QStringLiteral("B"));
        });
        a->primary->click();
        TestProgram::settle();
        QVERIFY(old.isNull());
        QCOMPARE(finished.count(), 0);
        QVERIFY(program->isVisible(QStringLiteral("B")));

        auto *again = qobject_cast<SampleForm *>(program->Show(QStringLiteral("A")));
        QCOMPARE(m_loadsA, 2);
        QVERIFY(again->box->text().isEmpty());
    }

    void programEndsWhenNoWindowIsVisible()
    {
        auto program = makeProgram();
        QSignalSpy finished(program.get(), &Program::finished);
        program->Show(QStringLiteral("A"));
        QPointer<Form> b = program->Show(QStringLiteral("B"));
        program->Hide(QStringLiteral("B"));
        TestProgram::settle();
        QCOMPARE(finished.count(), 0);

        program->form(QStringLiteral("A"))->close(); // the window system's close command
        TestProgram::settle();
        QCOMPARE(finished.count(), 1);
        QVERIFY(b.isNull()); // hidden forms are discarded with the program
        QVERIFY(!program->isOpen(QStringLiteral("A")));
    }

    // A handler that hides its window and asks something before it shows the
    // next one: the box is not a form, yet the program lives on through it.
    void programLivesWhileAHandlerAwaitsAnAnswer()
    {
        auto program = makeProgram();
        QSignalSpy finished(program.get(), &Program::finished);
        program->Show(QStringLiteral("A"));
        program->Hide(QStringLiteral("A"));
        bool answered = false;
        whenModalOpens([&answered](QWidget *modal) {
            // The end-of-program check queued by Hide runs in the box's own
            // loop first, and again once the box is answered but before its
            // loop has given control back to the handler.
            QTimer::singleShot(100, modal, [modal, &answered] {
                answered = true;
                qobject_cast<QMessageBox *>(modal)->button(QMessageBox::Ok)->click();
                QTest::qWait(200);
            });
        });
        QtDialogs().messageBox(QStringLiteral("Saved."), MsgBox::OkOnly, std::nullopt);
        QVERIFY(answered);
        program->Show(QStringLiteral("B"));
        TestProgram::settle();
        QCOMPARE(finished.count(), 0);

        program->Hide(QStringLiteral("B"));
        QTRY_COMPARE(finished.count(), 1);
    }

    void enterPressesFocusedOrDefaultButtonAndEscapeNothing()
    {
        auto program = makeProgram();
        auto *a = qobject_cast<SampleForm *>(program->Show(QStringLiteral("A")));
        QSignalSpy primary(a->primary, &QPushButton::clicked);
        QSignalSpy other(a->other, &QPushButton::clicked);

        QTest::keyClick(a->box, Qt::Key_Return);
        QCOMPARE(primary.count(), 1);
        QTest::keyClick(a->box, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(primary.count(), 2);

        a->cover->hide();
        a->other->setFocus();
        QTest::keyClick(a->other, Qt::Key_Return);
        QCOMPARE(other.count(), 1);
        QCOMPARE(primary.count(), 2);

        // A hidden default button does not act.
        a->primary->hide();
        QTest::keyClick(a->box, Qt::Key_Return);
        QCOMPARE(primary.count(), 2);

        QTest::keyClick(a->box, Qt::Key_Escape);
        QVERIFY(a->isVisible());

        // Making another button the default takes the role from the first.
        a->setDefaultButton(a->other);
        QVERIFY(!a->primary->isDefault());
        QVERIFY(a->other->isDefault());
    }

    void accessKeysReachCoveredButNotHiddenButtons()
    {
        auto program = makeProgram();
        auto *a = qobject_cast<SampleForm *>(program->Show(QStringLiteral("A")));
        QVERIFY(QTest::qWaitForWindowActive(a));
        QSignalSpy other(a->other, &QPushButton::clicked);
        QSignalSpy primary(a->primary, &QPushButton::clicked);
        QSignalSpy cover(a->cover, &QPushButton::clicked);

        QTest::keyClick(a, Qt::Key_S, Qt::AltModifier); // `other` lies behind `cover`
        QTRY_COMPARE(other.count(), 1);

        // A key's click comes a moment after the key: the hidden button's
        // would have come before that of the key pressed after it.
        a->primary->hide();
        QTest::keyClick(a, Qt::Key_G, Qt::AltModifier);
        QTest::keyClick(a, Qt::Key_C, Qt::AltModifier);
        QTRY_COMPARE(cover.count(), 1);
        QCOMPARE(primary.count(), 0);
    }

    void messageBoxesByStyle_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<std::optional<QString>>("title");
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("shownTitle");
        QTest::addColumn<int>("result");
        const std::optional<QString> none;
        const std::optional<QString> exit = QStringLiteral("Exit");
        QTest::newRow("0, empty title stays blank") << int(MsgBox::OkOnly) << std::optional<QString>(QString())
                                                    << int(QMessageBox::Ok) << QStringLiteral(" ") << int(MsgBox::Ok);
        QTest::newRow("1, no title shows the application's name")
            << int(MsgBox::OkCancel) << none << int(QMessageBox::Ok) << QStringLiteral("Plimo") << int(MsgBox::Ok);
        QTest::newRow("1, Cancel") << int(MsgBox::OkCancel) << none << int(QMessageBox::Cancel)
                                   << QStringLiteral("Plimo") << int(MsgBox::Cancel);
        QTest::newRow("52, Yes") << int(MsgBox::YesNoExclamation) << exit << int(QMessageBox::Yes)
                                 << QStringLiteral("Exit") << int(MsgBox::Yes);
        QTest::newRow("52, No") << int(MsgBox::YesNoExclamation) << exit << int(QMessageBox::No)
                                << QStringLiteral("Exit") << int(MsgBox::No);
    }

    void messageBoxesByStyle()
    {
        QFETCH(int, style);
        QFETCH(std::optional<QString>, title);
        QFETCH(int, button);
        QFETCH(int, result);
        // Each style's buttons, the one Enter presses first, and its icon.
        const QMap<int, std::pair<Buttons, QMessageBox::Icon>> styles = {
            {MsgBox::OkOnly, {{QMessageBox::Ok}, QMessageBox::NoIcon}},
            {MsgBox::OkCancel, {{QMessageBox::Ok, QMessageBox::Cancel}, QMessageBox::NoIcon}},
            {MsgBox::YesNoExclamation, {{QMessageBox::Yes, QMessageBox::No}, QMessageBox::Warning}},
        };
        int answer = 0;
        const ShownBox shown = showBox(QStringLiteral("Do you want to exit ?"), style, title,
                                       QMessageBox::StandardButton(button), &answer);
        QCOMPARE(answer, result);
        QTEST(shown.title, "shownTitle");
        QCOMPARE(shown.text, QStringLiteral("Do you want to exit ?"));
        QCOMPARE(shown.buttons, styles[style].first);
        QCOMPARE(shown.defaultButton, styles[style].first.constFirst());
        QCOMPARE(shown.icon, styles[style].second);
    }

    // Names in a question and a title are shown as given: never as markup,
    // never with Qt's window-modified marker taken out.
    void messageBoxesShowTextsAsGiven()
    {
        const QString prompt = QStringLiteral("Do you want to edit <b>A[*]B</b> & Co ?");
        const ShownBox shown = showBox(prompt, MsgBox::YesNoExclamation, QStringLiteral("A[*]B"), QMessageBox::No);
        QCOMPARE(shown.text, prompt);
        QCOMPARE(shown.format, Qt::PlainText);
        QCOMPARE(shown.title, QStringLiteral("A[*]B"));
    }

    void aBoxWithoutTextIsWideEnoughForItsTitle_data()
    {
        QTest::addColumn<QString>("title");
        QTest::newRow("login name") << QStringLiteral("Please enter login name");
        QTest::newRow("no record found") << QStringLiteral("No record found");
        QTest::newRow("no record available") << QStringLiteral("No record available ");
        QTest::newRow("Greek") << QStringLiteral("Παρακαλώ εισάγετε όνομα χρήστη");
    }

    // The notice stands in the title bar alone: the window manager must have
    // room for all of it beside the frame's icon and three buttons (at least
    // 24 pixels each), drawn in the title bar's font, bold in most frames.
    void aBoxWithoutTextIsWideEnoughForItsTitle()
    {
        QFETCH(QString, title);
        const ShownBox shown = showBox(QString(), MsgBox::OkOnly, title, QMessageBox::Ok);
        QCOMPARE(shown.title, title);
        QFont font = QApplication::font("QTitleBar");
        font.setBold(true);
        const int needed = QFontMetrics(font).horizontalAdvance(title) + 4 * 24;
        QVERIFY2(shown.width >= needed, qPrintable(QStringLiteral("%1 < %2").arg(shown.width).arg(needed)));
    }

    void qtsOwnTextsAreTranslated_data()
    {
        QTest::addColumn<QLocale::Language>("language");
        QTest::addColumn<QString>("yes");
        QTest::newRow("German") << QLocale::German << QStringLiteral("&Ja");
        QTest::newRow("Arabic") << QLocale::Arabic << QStringLiteral("&نعم");
    }

    // Standard buttons follow the desktop's language; the windows, whose own
    // texts are English, stay left to right.
    void qtsOwnTextsAreTranslated()
    {
        QFETCH(QLocale::Language, language);
        QTranslator *translator = installQtTranslations(*QCoreApplication::instance(), QLocale(language));
        QVERIFY2(translator, "Qt's translations (package qt6-translations-l10n) are missing");
        QMessageBox box;
        const QString yes = box.addButton(QMessageBox::Yes)->text();
        const Qt::LayoutDirection direction = box.layoutDirection();
        QCoreApplication::removeTranslator(translator);
        delete translator;
        QTEST(yes, "yes");
        QCOMPARE(direction, Qt::LeftToRight);
    }
};

QTEST_MAIN(TestToolkit)
#include "tst_toolkit.moc"
