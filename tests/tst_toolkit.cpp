#include "support/CapturingPrinter.h"
#include "support/ScriptedDialogs.h"
#include "toolkit/Controls.h"
#include "toolkit/Form.h"
#include "toolkit/Program.h"
#include "toolkit/QtDialogs.h"
#include "toolkit/Twips.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

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
        setWindowTitle(name);
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

// Presses a button of the first message box that opens, and remembers what it showed.
class ModalAnswerer : public QObject
{
public:
    explicit ModalAnswerer(QMessageBox::StandardButton button)
    {
        m_poll.setInterval(10);
        connect(&m_poll, &QTimer::timeout, this, [this, button] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            m_poll.stop();
            title = box->windowTitle();
            text = box->text();
            // Answer once the box's own event loop runs.
            QTimer::singleShot(0, box, [box, button] { box->button(button)->click(); });
        });
        m_poll.start();
    }

    QString title;
    QString text;

private:
    QTimer m_poll;
};

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

    static void settle()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }

private Q_SLOTS:
    void twipsBecomeLogicalPixels()
    {
        QCOMPARE(twipsToPixels(15), 1);
        QCOMPARE(twipsToPixels(7020), 468);
        QCOMPARE(twipsToPixels(255), 17);
        QCOMPARE(twipsToPixels(-120), -8);
        QCOMPARE(twipsToPixels(7), 0);
        QCOMPARE(twipsToPixels(8), 1);
        QCOMPARE(pixelsFromTwips(QRect(120, 120, 6735, 4455)), QRect(8, 8, 449, 297));
    }

    void showLoadsOnceAndKeepsOneInstance()
    {
        auto program = makeProgram();
        Form *first = program->Show(QStringLiteral("A"));
        QVERIFY(first);
        QCOMPARE(m_loadsA, 1); // the load ran before Show returned
        QVERIFY(first->isVisible());

        program->Show(QStringLiteral("B"));
        QCOMPARE(program->stackingOrder().first(), QStringLiteral("B"));
        QCOMPARE(program->Show(QStringLiteral("A")), first);
        QCOMPARE(m_loadsA, 1);
        QCOMPARE(program->stackingOrder().first(), QStringLiteral("A"));
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
        settle();
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
        settle();
        QCOMPARE(finished.count(), 0);

        program->form(QStringLiteral("A"))->close(); // the window system's close command
        settle();
        QCOMPARE(finished.count(), 1);
        QVERIFY(b.isNull()); // hidden forms are discarded with the program
        QVERIFY(!program->isOpen(QStringLiteral("A")));
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

        QTest::keyClick(a, Qt::Key_S, Qt::AltModifier); // `other` lies behind `cover`
        QTRY_COMPARE(other.count(), 1);

        a->primary->hide();
        QTest::keyClick(a, Qt::Key_G, Qt::AltModifier);
        QTest::qWait(50);
        QCOMPARE(primary.count(), 0);
    }

    void messageBoxTitlesAndAnswers_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<std::optional<QString>>("title");
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("shownTitle");
        QTest::addColumn<int>("result");

        QTest::newRow("no title shows the application name")
            << int(MsgBox::OkCancel) << std::optional<QString>() << int(QMessageBox::Ok) << QStringLiteral("Plimo") << int(MsgBox::Ok);
        QTest::newRow("empty title stays blank")
            << int(MsgBox::OkOnly) << std::optional<QString>(QString()) << int(QMessageBox::Ok) << QStringLiteral(" ") << int(MsgBox::Ok);
        QTest::newRow("yes")
            << int(MsgBox::YesNoExclamation) << std::optional<QString>(QStringLiteral("Exit")) << int(QMessageBox::Yes) << QStringLiteral("Exit") << int(MsgBox::Yes);
        QTest::newRow("no")
            << int(MsgBox::YesNoExclamation) << std::optional<QString>(QStringLiteral("Exit")) << int(QMessageBox::No) << QStringLiteral("Exit") << int(MsgBox::No);
        QTest::newRow("cancel")
            << int(MsgBox::OkCancel) << std::optional<QString>() << int(QMessageBox::Cancel) << QStringLiteral("Plimo") << int(MsgBox::Cancel);
    }

    void messageBoxTitlesAndAnswers()
    {
        QFETCH(int, style);
        QFETCH(std::optional<QString>, title);
        QFETCH(int, button);
        QFETCH(QString, shownTitle);
        QFETCH(int, result);

        QCoreApplication::setApplicationName(QStringLiteral("Plimo"));
        ModalAnswerer answerer{QMessageBox::StandardButton(button)};
        QtDialogs dialogs;
        QCOMPARE(dialogs.messageBox(QStringLiteral("Do you want to exit ?"), style, title), result);
        QCOMPARE(answerer.title, shownTitle);
        QCOMPARE(answerer.text, QStringLiteral("Do you want to exit ?"));
    }
};

QTEST_MAIN(TestToolkit)
#include "tst_toolkit.moc"
