#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QPushButton>
#include <QWidget>

class QLabel;
class QLineEdit;

// Small widgets and builders that give the forms the controls they are
// drawn with: every position and size is in twips within the container.

// A command button in the graphical style: an optional 32 x 32 icon above
// its caption, the program's button cursor, and a tool tip.
class CommandButton : public QPushButton
{
    Q_OBJECT

public:
    CommandButton(QWidget *container, const QString &name, const QString &caption, const QRect &twips);

    void setBackground(const QColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// A frame: an etched border with a caption in its own font and colour.
// Its children are placed relative to its top-left corner.
class FrameBox : public QWidget
{
    Q_OBJECT

public:
    FrameBox(QWidget *container, const QString &name, const QString &caption, const QRect &twips);

    QString caption() const { return m_caption; }
    void setCaptionStyle(const QFont &font, const QColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    QString m_caption;
    QLabel *m_captionLabel;
};

// A filled box whose width is held in twips as a single-precision value and
// read back exactly as it was set (the splash's progress bar).
class PictureBox : public QWidget
{
    Q_OBJECT

public:
    PictureBox(QWidget *container, const QString &name, const QRect &twips, const QColor &fill);

    float Width() const { return m_widthTwips; }
    void setWidth(float twips);

private:
    float m_widthTwips;
};

// Builders for the plain controls.
QLabel *makeLabel(QWidget *container, const QString &name, const QString &text, const QRect &twips,
                  const QFont &font, const QColor &colour = QColor());
QLabel *makeLogo(QWidget *container, const QString &name, const QRect &twips);
QLineEdit *makeTextBox(QWidget *container, const QString &name, const QRect &twips);
// A text colour of the design, made lighter or darker where the background
// behind the widget would leave it unreadable. Set the background first.
void setTextColour(QWidget *widget, const QColor &colour);
// Fixes the colour of a background role (Window, Base or Button) and, with
// it, a readable colour for the text drawn on it.
void setFixedColour(QWidget *widget, QPalette::ColorRole background, const QColor &colour);
// Fills the widget with a fixed colour, its text readable on it.
void setBackgroundColour(QWidget *widget, const QColor &colour);
// Shows every typed character of a text box as "*".
void showTypingAsStars(QLineEdit *box);
