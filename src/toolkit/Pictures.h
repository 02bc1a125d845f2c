#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>

// The program's own pictures, compiled in as resources.
namespace Pictures {
QPixmap logo();
// A 32 x 32 button icon by its short name ("add", "find", "exit", ...).
QIcon buttonIcon(const QString &name);
// The pointer shown over every command button: 32 x 32, hot spot (16, 14).
QCursor buttonCursor();
QIcon windowIcon();
} // namespace Pictures
