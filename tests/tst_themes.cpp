// Every window is readable whatever the desktop's colours, and the card on
// paper is dark on white: text is measured in the pixels the forms draw.

#include "printing/frmPrint.h"
#include "printing/frmPrintpre.h"
#include "recordform/RecordForm.h"
#include "shell/frmsplash.h"
#include "support/RecordFormFixture.h"
#include "support/TestProgram.h"
#include "toolkit/Controls.h"
#include "toolkit/ReadableColours.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTest>
#include <QTimer>

using namespace RecordFormFixture;

namespace {

// Colour schemes as desktops set them: dark ones whose highlighted text is
// light (as KDE's Breeze Dark) or black, and a grey one (qt6ct's "dusk").
QPalette scheme(const QColor &window, const QColor &text, const QColor &base, const QColor &highlightedText)
{
    QPalette p(window, window);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(role, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    p.setColor(QPalette::HighlightedText, highlightedText);
    return p;
}

// Labels (other than pictures), text boxes and buttons: each has a "text".
bool showsText(QWidget *w)
{
    auto *label = qobject_cast<QLabel *>(w);
    return label ? label->pixmap().isNull() : qobject_cast<QLineEdit *>(w) || qobject_cast<QAbstractButton *>(w);
}

// The contrast of a control's text with what lies behind it: the window is
// drawn with a sample text in the control and without, and the pixels that
// differ are the text's. 1 when no pixel differs: text of the background's colour.
qreal textContrast(QWidget *window, QWidget *control)
{
    const QVariant kept = control->property("text");
    const QRect area(control->mapTo(window, QPoint(0, 0)), control->size());
    control->setProperty("text", QStringLiteral("Ågü Жω"));
    const QImage with = window->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
    control->setProperty("text", QString());
    const QImage without = window->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
    control->setProperty("text", kept);
    qreal best = 1;
    for (int y = 0; y < with.height(); ++y) {
        for (int x = 0; x < with.width(); ++x) {
            if (with.pixel(x, y) != without.pixel(x, y))
                best = qMax(best, contrastRatio(QColor(with.pixel(x, y)), QColor(without.pixel(x, y))));
        }
    }
    return best;
}

// The controls of the window that show a text and are not covered by another.
QList<QWidget *> textControls(QWidget *window)
{
    QList<QWidget *> controls;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!showsText(w) || !w->isVisibleTo(window) || w->objectName().startsWith(QStringLiteral("qt_")))
            continue;
        QWidget *top = window->childAt(w->mapTo(window, w->rect().center()));
        if (top == w || w->isAncestorOf(top))
            controls.append(w);
    }
    return controls;
}

} // namespace

class TestThemes : public QObject
{
    Q_OBJECT

    static void addPaletteRows(const QStringList &forms)
    {
        QTest::addColumn<QPalette>("palette");
        QTest::addColumn<QString>("form");
        const QColor dark(0x31, 0x36, 0x3b), light(0xfc, 0xfc, 0xfc), grey(0x7f, 0x7f, 0x7f);
        const QList<std::pair<const char *, QPalette>> palettes = {
            {"light", QApplication::style()->standardPalette()},
            {"dark", scheme(dark, light, QColor(0x1b, 0x1e, 0x20), light)},
            {"dark, black highlighted text", scheme(dark, light, QColor(0x1b, 0x1e, 0x20), Qt::black)},
            {"grey", scheme(grey, Qt::black, Qt::white, Qt::white)},
        };
        for (const auto &[name, palette] : palettes) {
            for (const QString &form : forms)
                QTest::addRow("%s, %s", qPrintable(form), name) << palette << form;
        }
    }

private Q_SLOTS:
    void cleanup() { QApplication::setPalette(QApplication::style()->standardPalette()); }

    void everyTextReads_data()
    {
        addPaletteRows({QStringLiteral("frmsplash"), QStringLiteral("frmlogin"), QStringLiteral("frmabout"),
                        QStringLiteral("frmadd"), QStringLiteral("frmadd adding"), QStringLiteral("frmfind"),
                        QStringLiteral("frmfind editing"), QStringLiteral("frmPrint"), QStringLiteral("frmPrintpre")});
    }

    void everyTextReads()
    {
        QFETCH(QPalette, palette);
        QFETCH(QString, form);
        QApplication::setPalette(palette);
        TestProgram t;
        seed(t, {QStringLiteral("Ζωή Παππά")});
        const QString name = form.section(u' ', 0, 0);
        if (name == QLatin1String("frmPrintpre"))
            t.show<frmPrint>(QStringLiteral("frmPrint"))->cmdPrint->click();
        Form *window = t.program().Show(name);
        if (auto *splash = qobject_cast<frmsplash *>(window))
            splash->Timer1->stop();
        if (form.endsWith(QLatin1String("ing")))
            startWork(t, qobject_cast<RecordForm *>(window));

        const QList<QWidget *> controls = textControls(window);
        QVERIFY(controls.size() >= 3);
        for (QWidget *control : controls) {
            const qreal contrast = textContrast(window, control);
            QVERIFY2(contrast >= 3.0, qPrintable(QStringLiteral("%1: %2:1").arg(control->objectName()).arg(contrast)));
        }
    }

    void theCardIsDarkOnWhiteOnPaper_data() { addPaletteRows({QStringLiteral("frmPrintpre")}); }

    void theCardIsDarkOnWhiteOnPaper()
    {
        QFETCH(QPalette, palette);
        QApplication::setPalette(palette);
        TestProgram t;
        seed(t, {QStringLiteral("Zoë Ångström")});
        t.show<frmPrint>(QStringLiteral("frmPrint"))->cmdPrint->click();
        auto *preview = t.form<frmPrintpre>(QStringLiteral("frmPrintpre"));
        const QPalette onScreen = preview->palette();
        preview->cmdPrint->click();
        QCOMPARE(preview->palette(), onScreen); // the window is drawn as before

        const CapturingPrinter::Job &job = t.printer().jobs().constFirst();
        const QImage page = job.pages.constFirst().convertToFormat(QImage::Format_RGB32);
        for (QLabel *label : preview->Frame1->findChildren<QLabel *>()) {
            if (label->text().isEmpty())
                continue;
            const QRect area(job.paintRect.topLeft() + label->mapTo(preview, QPoint(0, 0)), label->size());
            qreal darkest = 1;
            int white = 0;
            for (int y = area.top(); y <= area.bottom(); ++y) {
                for (int x = area.left(); x <= area.right(); ++x) {
                    const QColor pixel(page.pixel(x, y));
                    white += pixel == Qt::white;
                    darkest = qMax(darkest, contrastRatio(pixel, Qt::white));
                }
            }
            QVERIFY2(white > area.width() * area.height() / 2, qPrintable(label->objectName()));
            QVERIFY2(darkest >= 15, qPrintable(QStringLiteral("%1: %2:1").arg(label->objectName()).arg(darkest)));
        }
    }

    void designedColoursStayWhereTheyRead_data()
    {
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<bool>("kept");
        QTest::newRow("red on white") << QColor(Qt::red) << QColor(Qt::white) << true;
        QTest::newRow("dark red on light grey") << QColor(0x80, 0, 0) << QColor(0xef, 0xef, 0xef) << true;
        QTest::newRow("blue on black") << QColor(Qt::blue) << QColor(Qt::black) << false;
        QTest::newRow("dark red on dark grey") << QColor(0x80, 0, 0) << QColor(0x31, 0x36, 0x3b) << false;
        QTest::newRow("white on near-white") << QColor(0xfc, 0xfc, 0xfc) << QColor(0xf8, 0xf8, 0xf8) << false;
        QTest::newRow("red on mid grey") << QColor(Qt::red) << QColor(0x7f, 0x7f, 0x7f) << false;
    }

    // The light scheme looks as designed; elsewhere a colour keeps its hue.
    void designedColoursStayWhereTheyRead()
    {
        QFETCH(QColor, colour);
        QFETCH(QColor, background);
        QFETCH(bool, kept);
        const QColor readable = readableOn(colour, background);
        QCOMPARE(readable == colour, kept);
        // Black or white where no colour reaches 7:1 on the background.
        const qreal best = qMax(contrastRatio(Qt::black, background), contrastRatio(Qt::white, background));
        QVERIFY(contrastRatio(readable, background) >= qMin(kept ? 3.0 : 7.0, best));
        if (colour.hslSaturation() > 50 && readable.hslSaturation() > 0)
            QCOMPARE(readable.hslHue(), colour.hslHue());
    }
};

QTEST_MAIN(TestThemes)
#include "tst_themes.moc"
