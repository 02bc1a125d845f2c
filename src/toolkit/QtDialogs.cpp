#include "QtDialogs.h"

#include "LongText.h"
#include "WindowTitle.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <limits>

namespace {

QString windowTitleFor(const std::optional<QString> &title)
{
    if (!title)
        return QCoreApplication::applicationName();
    // The window system shows the application's name for an empty title;
    // a single blank keeps the title bar empty as asked.
    return title->isEmpty() ? QStringLiteral(" ") : windowTitleShowing(*title);
}

// How wide a window must be for the window manager to show `title` whole:
// the text in the title bar's font, which most window managers draw bold,
// beside the frame's icon and its minimise, maximise and close buttons,
// each about as wide as the bar is high, with some room between them.
int widthForTitle(const QWidget &window, const QString &title)
{
    QFont font = QApplication::font("QTitleBar");
    font.setBold(true);
    const QFontMetrics metrics(font);
    const int barHeight = qMax(window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window),
                               metrics.height() + 8);
    return metrics.horizontalAdvance(title) + 5 * barHeight;
}

// Makes a message box at least as wide as its title needs, within the
// screen. Notices with an empty text stand in the title alone, and
// QMessageBox sizes itself by its text.
void makeRoomForTitle(QMessageBox &box)
{
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid)
        return;
    int width = widthForTitle(box, box.windowTitle());
    if (const QScreen *screen = box.screen())
        width = qMin(width, screen->availableGeometry().width() * 9 / 10);
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

} // namespace

int QtDialogs::messageBox(const QString &prompt, int style, const std::optional<QString> &title)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowTitle(windowTitleFor(title));
    // A name in a question is shown as stored, never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(shortenedForDisplay(prompt));

    switch (style) {
    case MsgBox::YesNoExclamation: {
        box.setIcon(QMessageBox::Warning);
        QPushButton *yes = box.addButton(QMessageBox::Yes);
        box.addButton(QMessageBox::No);
        box.setDefaultButton(yes);
        break;
    }
    case MsgBox::OkCancel: {
        QPushButton *ok = box.addButton(QMessageBox::Ok);
        box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(ok);
        break;
    }
    default:
        box.setDefaultButton(box.addButton(QMessageBox::Ok));
        break;
    }

    makeRoomForTitle(box);
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Yes:
        return MsgBox::Yes;
    case QMessageBox::No:
        return MsgBox::No;
    case QMessageBox::Ok:
        return MsgBox::Ok;
    case QMessageBox::Cancel:
        return MsgBox::Cancel;
    default:
        // Closing an OK-only box by its frame counts as OK; closing a
        // question counts as its negative answer.
        if (style == MsgBox::YesNoExclamation)
            return MsgBox::No;
        if (style == MsgBox::OkCancel)
            return MsgBox::Cancel;
        return MsgBox::Ok;
    }
}

QString QtDialogs::inputBox(const QString &prompt, const QString &title)
{
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(windowTitleShowing(title));
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    // Its line edit would cut a longer pasted answer to 32767 characters.
    for (QLineEdit *edit : dialog.findChildren<QLineEdit *>())
        edit->setMaxLength(std::numeric_limits<int>::max());
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

QString QtDialogs::saveFileName(const QString &caption, const QString &suggestedPath, const QString &filter)
{
    QFileDialog dialog(QApplication::activeWindow(), caption);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(filter);
    // A name typed without its suffix still gets the one offered.
    dialog.setDefaultSuffix(QFileInfo(suggestedPath).suffix());
    dialog.selectFile(suggestedPath);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}
