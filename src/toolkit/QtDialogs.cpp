#include "QtDialogs.h"

#include "LongText.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <limits>

namespace {

QString windowTitleFor(const std::optional<QString> &title)
{
    if (!title)
        return QCoreApplication::applicationName();
    // The window system shows the application's name for an empty title;
    // a single blank keeps the title bar empty as asked.
    return title->isEmpty() ? QStringLiteral(" ") : *title;
}

} // namespace

int QtDialogs::messageBox(const QString &prompt, int style, const std::optional<QString> &title)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowTitle(windowTitleFor(title));
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
    dialog.setWindowTitle(title);
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
