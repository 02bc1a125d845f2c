#include "frmPrintpre.h"

#include "PdfExport.h"
#include "frmPrint.h"
#include "toolkit/Controls.h"
#include "toolkit/Fonts.h"
#include "toolkit/PdfFile.h"
#include "toolkit/Pictures.h"
#include "toolkit/PrintForm.h"
#include "toolkit/Program.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>

namespace {

// One row of the card: caption and value label, positions in twips in Frame1.
struct CardRow {
    const char *captionName;
    const char *caption;
    QSize captionSize;
    const char *valueName;
    QSize valueSize;
    int top;
};

constexpr int CaptionLeft = 120;
constexpr int ValueLeft = 1560;

const CardRow CardRows[] = {
    {"Label12", QT_TRANSLATE_NOOP("frmPrintpre", "Name"), {495, 255}, "Label1", {2175, 375}, 600},
    {"Label13", QT_TRANSLATE_NOOP("frmPrintpre", "Address"), {690, 195}, "Label2", {4815, 495}, 1200},
    {"Label14", QT_TRANSLATE_NOOP("frmPrintpre", "Phone Number"), {1260, 195}, "Label3", {2415, 375}, 1800},
    {"Label15", QT_TRANSLATE_NOOP("frmPrintpre", "Position"), {690, 195}, "Label4", {2535, 375}, 2400},
    {"Label16", QT_TRANSLATE_NOOP("frmPrintpre", "Office Address"), {1260, 195}, "Label5", {4575, 495}, 3120},
    {"Label17", QT_TRANSLATE_NOOP("frmPrintpre", "Office Phone"), {1125, 195}, "Label6", {2775, 375}, 3840},
    {"Label18", QT_TRANSLATE_NOOP("frmPrintpre", "Email Address"), {1200, 195}, "Label7", {3135, 375}, 4440},
    {"Label19", QT_TRANSLATE_NOOP("frmPrintpre", "Web Address"), {1140, 195}, "Label8", {3495, 375}, 5160},
};

CommandButton *makeButton(QWidget *form, const QString &name, const QString &caption, const QString &toolTip,
                          const QRect &twips, const QString &icon)
{
    auto *button = new CommandButton(form, name, caption, twips);
    button->setToolTip(toolTip);
    button->setIcon(Pictures::buttonIcon(icon));
    return button;
}

} // namespace

frmPrintpre::frmPrintpre(Program &program)
    : Form(program, QStringLiteral("frmPrintpre"))
{
    setClientAreaTwips(7815, 6900, Border::FixedSingle);
    // The card's colours are the form's alone: on paper it is drawn black on white.
    setBackgroundColour(this, palette().color(QPalette::HighlightedText));

    Frame1 = new FrameBox(this, QStringLiteral("Frame1"), QString(), QRect(480, 0, 6855, 5655));

    QLabel **captions[] = {&Label12, &Label13, &Label14, &Label15, &Label16, &Label17, &Label18, &Label19};
    QLabel **values[] = {&Label1, &Label2, &Label3, &Label4, &Label5, &Label6, &Label7, &Label8};
    const QFont captionFont = dialogFont(8.25, true);
    const QFont valueFont = dialogFont();
    int i = 0;
    for (const CardRow &row : CardRows) {
        QLabel *caption = makeLabel(Frame1, QLatin1String(row.captionName), tr(row.caption),
                                    QRect(QPoint(CaptionLeft, row.top), row.captionSize), captionFont);
        // A caption keeps to its one line; a value may take the lines its box has.
        caption->setWordWrap(false);
        *captions[i] = caption;
        *values[i] = makeLabel(Frame1, QLatin1String(row.valueName), QString(),
                               QRect(QPoint(ValueLeft, row.top), row.valueSize), valueFont);
        ++i;
    }

    cmdCancel = makeButton(this, QStringLiteral("cmdCancel"), tr("&Cancel"), tr("Cancel"),
                           QRect(4080, 5880, 1455, 855), QStringLiteral("cancel"));
    cmdPrint = makeButton(this, QStringLiteral("cmdPrint"), tr("&Print"), tr("Print"), QRect(2040, 5880, 1455, 855),
                          QStringLiteral("print"));
    setDefaultButton(cmdPrint);
    setTabOrder(cmdPrint, cmdCancel);
    cmdPrint->setFocus();

    connect(cmdPrint, &QPushButton::clicked, this, &frmPrintpre::cmdPrint_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmPrintpre::cmdCancel_Click);
}

void frmPrintpre::Form_Load()
{
    // The Print Record form is open while the preview loads; its values are
    // copied now and never read again.
    const auto *source = program().form<frmPrint>(QStringLiteral("frmPrint"));
    if (!source)
        return;
    setCaption(tr("%1 - Print").arg(source->txtName->text()));
    Label1->setText(source->txtName->text());
    Label2->setText(source->txtAddress->text());
    Label3->setText(source->txtPhone->text());
    Label4->setText(source->txtPosition->text());
    Label5->setText(source->txtOfficeaddress->text());
    Label6->setText(source->txtOfficePhone->text());
    Label7->setText(source->txtEmail(1)->text());
    Label8->setText(source->txtWeb(0)->text());
}

PrintResult frmPrintpre::withoutButtons(const std::function<PrintResult()> &step)
{
    // Hiding the buttons takes the focus away; it comes back where it was.
    const QPointer<QWidget> focused = focusWidget();
    cmdPrint->hide();
    cmdCancel->hide();
    const PrintResult result = step();
    cmdPrint->show();
    cmdCancel->show();
    if (focused)
        focused->setFocus();
    return result;
}

void frmPrintpre::cmdPrint_Click()
{
    const FormDocument card = formPage(*this);
    const PrintResult printed = withoutButtons([&] { return program().printer().print(card); });
    if (!printed) {
        // Nothing reached the paper: the preview stays, to try again, save
        // the card as a PDF file or cancel.
        PdfExport(program().dialogs(), PdfExport::Document::Card)
            .offerAfterPrintFailure(
                [&](const QString &path) { return withoutButtons([&] { return writePdf(card, path); }); },
                printed.error, Label1->text());
        return;
    }
    program().Show(QStringLiteral("frmPrint"));
    program().Unload(objectName());
}

void frmPrintpre::cmdCancel_Click()
{
    program().Show(QStringLiteral("frmPrint"));
    program().Unload(objectName());
}
