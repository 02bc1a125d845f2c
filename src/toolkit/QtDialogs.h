#pragma once

#include "Dialogs.h"

// The program's message and input boxes, drawn by Qt.
class QtDialogs final : public Dialogs
{
public:
    int messageBox(const QString &prompt, int style, const std::optional<QString> &title) override;
    QString inputBox(const QString &prompt, const QString &title) override;
    QString saveFileName(const QString &caption, const QString &suggestedPath, const QString &filter) override;
};
