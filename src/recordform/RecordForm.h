#pragma once

#include "toolkit/Form.h"

#include <QFont>
#include <QRect>
#include <QSize>

#include <functional>

class CommandButton;
class DataControl;
class FrameBox;
class QLabel;
class QLineEdit;
class QScrollBar;

// What sets the three record forms apart inside their shared frame.
struct RecordFormStyle {
    QString caption;
    QSize clientTwips;
    QRect frameTwips;
    int blanksBeforeCaption = 19;
    bool whiteBackground = false;   // else the system's highlight-text and window colours
    QString welcomeLabelName = QStringLiteral("lblWelcome");
    int welcomeTop = 360;
    int welcomeWidth = 4215;
    bool navigationBarOnForm = false; // in front of the frame rather than inside it
    bool scrollBars = true;
    QString positionLabelName = QStringLiteral("lblPosition");
    QString officePhoneLabelName = QStringLiteral("lblOfficephone");
    QString officePhoneBoxName = QStringLiteral("txtOfficephone");
    int nameLimit = 0;    // characters that may be typed; 0: no limit of the form's own
    int addressLimit = 0;
    QFont buttonFont;
    QRect exitTwips;      // on the form
    QString exitToolTip;
};

// The frame that the Add and Delete, Find and Edit and Print Record forms
// share: logo, welcome line, the contact store's navigation bar and the eight
// labelled boxes bound to it, and an Exit button back to the main window.
class RecordForm : public Form
{
    Q_OBJECT

public:
    using UserNameSource = std::function<QString()>;

    RecordForm(Program &program, const QString &name, const RecordFormStyle &style, UserNameSource currentUserName);

    void Form_Load() override;
    void Data1_Reposition();
    void cmdExit_Click();

    FrameBox *Record;
    QLabel *imgLogo;
    QLabel *lblWelcome;
    DataControl *Data1;
    QLabel *lblName;
    QLabel *lblAddress;
    QLabel *lblPhone;
    QLabel *lblPosition;
    QLabel *lblOfficeaddress;
    QLabel *lblOfficephone;
    QLabel *lblEmail;
    QLabel *lblWeb;
    QLineEdit *txtName;
    QLineEdit *txtAddress;
    QLineEdit *txtPhone;
    QLineEdit *txtPosition;
    QLineEdit *txtOfficeaddress;
    QLineEdit *txtOfficephone;
    QLineEdit *txtEmail;
    QLineEdit *txtWeb;
    QScrollBar *VScroll1 = nullptr;
    QScrollBar *VScroll2 = nullptr;
    CommandButton *cmdExit;

    // The eight boxes in row order.
    QList<QLineEdit *> textBoxes() const;
    void setTextBoxesLocked(bool locked);

protected:
    // A command button of the form's own in the frame's graphical style.
    CommandButton *addCommandButton(QWidget *container, const QString &name, const QString &caption,
                                    const QString &toolTip, const QRect &twips, const QString &icon);
    // Reports a failure of the contact store in a message that names it.
    void reportStoreFailure(const QString &what);

    void closeEvent(QCloseEvent *event) override;

private:
    // Closing drops a pending add or edit: the user is told so.
    void tellUnsavedWorkDropped();
    void tellTextTooLong(qsizetype length);
    void limitTyping(QLineEdit *box, int formLimit);

    UserNameSource m_currentUserName;
    QFont m_buttonFont;
};
