#pragma once

#include <QPointer>
#include <QWidget>

class Program;
#include <QPushButton>

// A top-level window of the program, addressed by its name through Program.
//
// Forms have no owner and are never modal. Enter presses the button that has
// the focus, or else the form's default button when it is visible and
// enabled; Escape does nothing, since no window has a cancel button.
class Form : public QWidget
{
    Q_OBJECT

public:
    enum class Border {
        FixedSingle, // title bar and close box, no minimise or maximise, fixed size
        Sizable,     // title bar, close box, minimise and maximise
    };

    Form(Program &program, const QString &name);

    Program &program() const { return m_program; }

    // The window's caption, shown in its title bar exactly as given.
    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);

    // Runs once, when Program loads the form, before it is first shown.
    virtual void Form_Load() {}

    void setDefaultButton(QPushButton *button);
    QPushButton *defaultButton() const { return m_defaultButton; }

protected:
    void setClientAreaTwips(int width, int height, Border border);

    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    Program &m_program;
    QString m_caption;
    QPointer<QPushButton> m_defaultButton;
    bool m_placed = false;
};
