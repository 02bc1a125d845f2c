#include "Form.h"

#include "Fonts.h"
#include "LongText.h"
#include "Program.h"
#include "Twips.h"
#include "WindowTitle.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

Form::Form(Program &program, const QString &name)
    : QWidget(nullptr)
    , m_program(program)
{
    setObjectName(name);
    setFont(dialogFont());
}

void Form::setCaption(const QString &caption)
{
    m_caption = caption;
    setWindowTitle(windowTitleShowing(shortenedForDisplay(caption, 200)));
}

void Form::setDefaultButton(QPushButton *button)
{
    if (m_defaultButton)
        m_defaultButton->setDefault(false);
    m_defaultButton = button;
    if (button)
        button->setDefault(true);
}

void Form::setClientAreaTwips(int width, int height, Border border)
{
    const QSize size = twipsSize(width, height);
    if (border == Border::FixedSingle) {
        setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        setFixedSize(size);
    } else {
        setWindowFlags(Qt::Window);
        resize(size);
    }
}

void Form::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto *focused = qobject_cast<QPushButton *>(focusWidget()); focused && focused->isVisible()) {
            focused->click();
            return;
        }
        if (m_defaultButton && m_defaultButton->isVisible() && m_defaultButton->isEnabled()) {
            m_defaultButton->click();
            return;
        }
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form::closeEvent(QCloseEvent *event)
{
    // The window system's close command unloads the form.
    event->accept();
    m_program.Unload(objectName());
}

void Form::showEvent(QShowEvent *event)
{
    if (!m_placed) {
        m_placed = true;
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QWidget::showEvent(event);
}
