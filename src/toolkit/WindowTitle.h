#pragma once

#include <QString>

// The window title that shows `caption` exactly as given. Qt takes "[*]" in
// a title for the place of its window-modified marker and drops it; doubled,
// it shows once, so a contact named "A[*]B" keeps its name in a title.
inline QString windowTitleShowing(QString caption)
{
    return caption.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}
