#pragma once

#include "toolkit/Dialogs.h"

#include <QList>
#include <QString>

// Answers the program's message and input boxes from a script and records
// every box that was asked for, so tests can check its text, style and title.
class ScriptedDialogs final : public Dialogs
{
public:
    struct Box {
        // A save-file box keeps its caption as the prompt and the path it
        // suggested as the title.
        enum Kind { Message, Input, SaveFile } kind;
        QString prompt;
        int style = 0;
        std::optional<QString> title;
    };

    // The next message box is answered with `result`.
    void answer(int result) { m_answers.append(QString::number(result)); }
    // The next input box returns `text` (the empty string stands for Cancel).
    void type(const QString &text) { m_answers.append(text); }
    // The next save-file box returns `path` (the empty string stands for Cancel).
    void saveAs(const QString &path) { m_answers.append(path); }

    int messageBox(const QString &prompt, int style, const std::optional<QString> &title) override;
    QString inputBox(const QString &prompt, const QString &title) override;
    QString saveFileName(const QString &caption, const QString &suggestedPath, const QString &filter) override;

    const QList<Box> &asked() const { return m_asked; }
    // The boxes asked for since the last call, which forgets them.
    QList<Box> takeAsked();
    // The one box asked for since the last call (the test fails unless there is exactly one).
    Box takeOnly();
    bool allAnswersUsed() const { return m_answers.isEmpty(); }

private:
    QString nextAnswer(const Box &box);

    QList<QString> m_answers;
    QList<Box> m_asked;
};

// Fails the test unless `box` is a message box with this text, style and title.
void compareBox(const ScriptedDialogs::Box &box, const QString &prompt, int style,
                const std::optional<QString> &title);
