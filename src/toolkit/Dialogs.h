#pragma once

#include <QString>

#include <optional>

// Styles and results of the program's modal message box, by number.
namespace MsgBox {
enum Style : int {
    OkOnly = 0,
    OkCancel = 1,
    YesNoExclamation = 52,
};
enum Result : int {
    Ok = 1,
    Cancel = 2,
    Yes = 6,
    No = 7,
};
} // namespace MsgBox

// Every question and notice of the program goes through this interface, so
// that tests can script the answers and check each box's text, style and title.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // A title that is not given shows the application's name; an empty
    // title stays empty; an empty prompt shows no text.
    virtual int messageBox(const QString &prompt, int style, const std::optional<QString> &title = std::nullopt) = 0;

    // The typed text, or the empty string when the user chooses Cancel.
    virtual QString inputBox(const QString &prompt, const QString &title) = 0;

    // Where to save a file: the chosen path, or the empty string when the
    // user cancels. `suggestedPath` gives the folder, name and suffix offered.
    virtual QString saveFileName(const QString &caption, const QString &suggestedPath, const QString &filter)
    {
        Q_UNUSED(caption);
        Q_UNUSED(suggestedPath);
        Q_UNUSED(filter);
        return QString();
    }
};
