#include "RecordForm.h"

#include "DataControl.h"
#include "TypedTextLimit.h"
#include "contacts/ContactDatabase.h"
#include "contacts/ContactRecord.h"
#include "contacts/Recordset.h"
#include "toolkit/Controls.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Fonts.h"
#include "toolkit/Pictures.h"
#include "toolkit/Program.h"
#include "toolkit/Twips.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

#include <limits>

namespace {

struct Row {
    ContactField field;
    const char *labelName;
    const char *boxName;
    const char *caption;
    int top;
    int height;
};

// The eight rows, top to bottom, with their positions in the frame.
constexpr Row Rows[ContactFieldCount] = {
    {ContactField::Name, "lblName", "txtName", QT_TRANSLATE_NOOP("RecordForm", "Name:"), 1320, 375},
    {ContactField::Address, "lblAddress", "txtAddress", QT_TRANSLATE_NOOP("RecordForm", "Address:"), 1800, 615},
    {ContactField::PhoneNumber, "lblPhone", "txtPhone", QT_TRANSLATE_NOOP("RecordForm", "Phone Number:"), 2520, 375},
    {ContactField::Position, "lblPosition", "txtPosition", QT_TRANSLATE_NOOP("RecordForm", "Position:"), 3000, 375},
    {ContactField::OfficeAddress, "lblOfficeaddress", "txtOfficeaddress", QT_TRANSLATE_NOOP("RecordForm", "Office Address:"), 3480, 615},
    {ContactField::OfficePhoneNumber, "lblOfficephone", "txtOfficephone", QT_TRANSLATE_NOOP("RecordForm", "Office Phone Number:"), 4200, 375},
    {ContactField::EmailAddress, "lblEmail", "txtEmail", QT_TRANSLATE_NOOP("RecordForm", "Email Address:"), 4680, 375},
    {ContactField::WebsiteAddress, "lblWeb", "txtWeb", QT_TRANSLATE_NOOP("RecordForm", "Website Address:"), 5160, 375},
};

// What a box takes from typing and pasting: far more than any contact
// needs, and little enough that every key pressed is answered at once.
constexpr qsizetype TypedCharactersPerField = 10000;

constexpr int LabelLeft = 120;
constexpr int LabelWidth = 2835;
constexpr int BoxLeft = 3000;
constexpr int BoxWidth = 4455;
constexpr int ScrollBarLeft = 7200;
constexpr int ScrollBarWidth = 255;

QScrollBar *makeScrollBar(QWidget *container, const QString &name, int top)
{
    auto *bar = new QScrollBar(Qt::Vertical, container);
    bar->setObjectName(name);
    bar->setGeometry(pixelsFromTwips(QRect(ScrollBarLeft, top, ScrollBarWidth, 615)));
    bar->setAccessibleName(name);
    // It takes the focus in the form's tab order, as a scroll bar of its own.
    bar->setFocusPolicy(Qt::StrongFocus);
    // In front of the box it stands beside, so that it can be seen and moved.
    bar->raise();
    return bar;
}

} // namespace

RecordForm::RecordForm(Program &program, const QString &name, const RecordFormStyle &style,
                       UserNameSource currentUserName)
    : Form(program, name)
    , m_currentUserName(std::move(currentUserName))
    , m_buttonFont(style.buttonFont)
{
    setCaption(style.caption);
    setClientAreaTwips(style.clientTwips.width(), style.clientTwips.height(), Border::FixedSingle);

    const QColor background = style.whiteBackground ? QColor(Qt::white) : palette().color(QPalette::HighlightedText);
    const QColor boxBackground = style.whiteBackground ? QColor(Qt::white) : palette().color(QPalette::Base);
    setBackgroundColour(this, background);

    Record = new FrameBox(this, QStringLiteral("Record"),
                          QString(style.blanksBeforeCaption, u' ') + tr("Orvant Inc."), style.frameTwips);
    Record->setCaptionStyle(dialogFont(13.5, true), Colours::Red);

    imgLogo = makeLogo(Record, QStringLiteral("imgLogo"), QRect(240, 240, 1455, 1170));
    lblWelcome = makeLabel(Record, style.welcomeLabelName, QString(),
                           QRect(BoxLeft, style.welcomeTop, style.welcomeWidth, 375), dialogFont(9.75, true),
                           Colours::Blue);

    // The navigation bar stands at the same place relative to the frame on
    // every form; on some it lies on the form, in front of the frame.
    const QRect dataInFrame(BoxLeft, 840, 4380, style.navigationBarOnForm ? 345 : 375);
    if (style.navigationBarOnForm) {
        Data1 = new DataControl(this);
        Data1->setGeometry(pixelsFromTwips(dataInFrame.translated(style.frameTwips.topLeft())));
    } else {
        Data1 = new DataControl(Record);
        Data1->setGeometry(pixelsFromTwips(dataInFrame));
    }
    Data1->setObjectName(QStringLiteral("Data1"));

    const QFont labelFont = dialogFont(9.75, true);
    QLabel **labels[] = {&lblName, &lblAddress, &lblPhone, &lblPosition,
                         &lblOfficeaddress, &lblOfficephone, &lblEmail, &lblWeb};
    QLineEdit **boxes[] = {&txtName, &txtAddress, &txtPhone, &txtPosition,
                           &txtOfficeaddress, &txtOfficephone, &txtEmail, &txtWeb};
    for (int i = 0; i < ContactFieldCount; ++i) {
        const Row &row = Rows[i];
        QString labelName = QLatin1String(row.labelName);
        QString boxName = QLatin1String(row.boxName);
        if (row.field == ContactField::Position)
            labelName = style.positionLabelName;
        if (row.field == ContactField::OfficePhoneNumber) {
            labelName = style.officePhoneLabelName;
            boxName = style.officePhoneBoxName;
        }
        *labels[i] = makeLabel(Record, labelName, tr(row.caption),
                               QRect(LabelLeft, row.top, LabelWidth, 375), labelFont);
        QLineEdit *box = makeTextBox(Record, boxName, QRect(BoxLeft, row.top, BoxWidth, row.height));
        box->setAccessibleName((*labels[i])->text().chopped(1)); // the label's caption without its colon
        (*labels[i])->setBuddy(box);
        setFixedColour(box, QPalette::Base, boxBackground);
        limitTyping(box, row.field == ContactField::Name      ? style.nameLimit
                         : row.field == ContactField::Address ? style.addressLimit
                                                              : 0);
        *boxes[i] = box;
        Data1->bind(row.field, box);
    }
    setTextBoxesLocked(true);
    for (int i = 1; i < ContactFieldCount; ++i)
        setTabOrder(*boxes[i - 1], *boxes[i]);

    if (style.scrollBars) {
        VScroll1 = makeScrollBar(Record, QStringLiteral("VScroll1"), 1800);
        VScroll2 = makeScrollBar(Record, QStringLiteral("VScroll2"), 3480);
    }
    if (style.navigationBarOnForm)
        Data1->raise();

    cmdExit = addCommandButton(this, QStringLiteral("cmdExit"), tr("E&xit"), style.exitToolTip, style.exitTwips,
                               QStringLiteral("exit"));

    txtName->setFocus();
    connect(Data1, &DataControl::Reposition, this, &RecordForm::Data1_Reposition);
    connect(Data1, &DataControl::navigationFailed, this, &RecordForm::reportStoreFailure);
    connect(cmdExit, &QPushButton::clicked, this, &RecordForm::cmdExit_Click);
}

void RecordForm::Form_Load()
{
    lblWelcome->setText(tr("WELCOME %1").arg(m_currentUserName().toUpper()));
    // The contact store opens with the form, on the table's first contact.
    if (!Data1->open(QDir(program().dataDirectory()).filePath(QStringLiteral("db2.mdb"))))
        reportStoreFailure(Data1->lastError());
}

void RecordForm::Data1_Reposition()
{
    Data1->setCaption(txtName->text());
}

void RecordForm::cmdExit_Click()
{
    if (program().dialogs().messageBox(tr("Do you want to exit ?"), MsgBox::YesNoExclamation, tr("Exit")) != MsgBox::Yes)
        return;
    tellUnsavedWorkDropped();
    program().Show(QStringLiteral("MDIMain"));
    program().Unload(objectName());
}

void RecordForm::closeEvent(QCloseEvent *event)
{
    tellUnsavedWorkDropped();
    Form::closeEvent(event);
}

void RecordForm::tellUnsavedWorkDropped()
{
    switch (Data1->Recordset()->editMode()) {
    case Recordset::EditMode::Adding:
        program().dialogs().messageBox(tr("The new contact was not saved."), MsgBox::OkOnly, tr("Not Saved"));
        break;
    case Recordset::EditMode::Editing: {
        const QString name = Data1->Recordset()->currentRecord()[fieldIndex(ContactField::Name)].text();
        program().dialogs().messageBox(tr("The changes to %1 were not saved.").arg(name), MsgBox::OkOnly,
                                       tr("Not Saved"));
        break;
    }
    case Recordset::EditMode::None:
        break;
    }
}

QList<QLineEdit *> RecordForm::textBoxes() const
{
    return {txtName, txtAddress, txtPhone, txtPosition, txtOfficeaddress, txtOfficephone, txtEmail, txtWeb};
}

void RecordForm::tellTextTooLong(qsizetype length)
{
    program().dialogs().messageBox(tr("A box takes at most %L1 typed or pasted characters; with this text it would "
                                      "have held %L2, so nothing was added.")
                                       .arg(TypedCharactersPerField)
                                       .arg(length),
                                   MsgBox::OkOnly, tr("Text Too Long"));
}

void RecordForm::limitTyping(QLineEdit *box, int formLimit)
{
    // A line edit's own maximum length would also cut every text the store
    // puts in (Qt's default of 32767 a longer stored field, the form's 20 a
    // long stored name), and an edit would then save it shortened. The limit
    // holds for typing and pasting only; a form's own limit refuses quietly,
    // as a full box does.
    box->setMaxLength(std::numeric_limits<int>::max());
    auto *limit = new TypedTextLimit(box, formLimit > 0 ? formLimit : TypedCharactersPerField);
    if (formLimit == 0)
        connect(limit, &TypedTextLimit::refused, this, &RecordForm::tellTextTooLong);
}

void RecordForm::setTextBoxesLocked(bool locked)
{
    Data1->setBoxesLocked(locked);
}

CommandButton *RecordForm::addCommandButton(QWidget *container, const QString &name, const QString &caption,
                                            const QString &toolTip, const QRect &twips, const QString &icon)
{
    auto *button = new CommandButton(container, name, caption, twips);
    button->setFont(m_buttonFont);
    button->setToolTip(toolTip);
    if (!icon.isEmpty())
        button->setIcon(Pictures::buttonIcon(icon));
    return button;
}

void RecordForm::reportStoreFailure(const QString &what)
{
    program().dialogs().messageBox(what, MsgBox::OkOnly, tr("Merivo"));
}
