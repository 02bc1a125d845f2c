#include "Controls.h"

#include "Pictures.h"
#include "ReadableColours.h"
#include "Twips.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QtMath>

namespace {
constexpr int IconSize = 32;
}

CommandButton::CommandButton(QWidget *container, const QString &name, const QString &caption, const QRect &twips)
    : QPushButton(caption, container)
{
    setObjectName(name);
    setGeometry(pixelsFromTwips(twips));
    setCursor(Pictures::buttonCursor());
}

void CommandButton::setBackground(const QColor &colour)
{
    setFixedColour(this, QPalette::Button, colour);
}

void CommandButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QIcon buttonIcon = option.icon;
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    QRect content = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    if (isDown())
        content.translate(1, 1);

    const int textHeight = fontMetrics().height();
    const bool withIcon = !buttonIcon.isNull();
    const int blockHeight = withIcon ? IconSize + 2 + textHeight : textHeight;
    int y = content.top() + qMax(0, (content.height() - blockHeight) / 2);
    if (withIcon) {
        const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
        painter.drawPixmap(content.center().x() - IconSize / 2 + 1, y, buttonIcon.pixmap(IconSize, IconSize, mode));
        y += IconSize + 2;
    }
    const QRect textRect(content.left(), y, content.width(), content.bottom() - y + 1);
    style()->drawItemText(&painter, textRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic, palette(),
                          isEnabled(), text(), QPalette::ButtonText);

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = content.adjusted(1, 1, -1, -1);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

FrameBox::FrameBox(QWidget *container, const QString &name, const QString &caption, const QRect &twips)
    : QWidget(container)
    , m_caption(caption)
    , m_captionLabel(new QLabel(caption, this))
{
    setObjectName(name);
    setGeometry(pixelsFromTwips(twips));
    m_captionLabel->setObjectName(name + QStringLiteral("Caption"));
    setAccessibleName(caption.trimmed());
    m_captionLabel->setTextFormat(Qt::PlainText);
    m_captionLabel->move(6, 0);
    m_captionLabel->setVisible(!caption.isEmpty());
    m_captionLabel->adjustSize();
}

void FrameBox::setCaptionStyle(const QFont &font, const QColor &colour)
{
    m_captionLabel->setFont(font);
    setTextColour(m_captionLabel, colour);
    m_captionLabel->adjustSize();
    update();
}

bool FrameBox::event(QEvent *event)
{
    // The caption stays readable in front of pictures that reach into it.
    if (event->type() == QEvent::ChildPolished)
        m_captionLabel->raise();
    return QWidget::event(event);
}

void FrameBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int captionHalf = m_caption.isEmpty() ? 0 : m_captionLabel->height() / 2;

    // An etched line, a dark line with a light one just inside it, broken
    // where the caption (leading blanks included) stands on the top edge.
    const QRect border = rect().adjusted(0, captionHalf, -2, -2);
    const int gapLeft = m_caption.isEmpty() ? border.right() : m_captionLabel->x();
    const int gapRight = m_caption.isEmpty() ? border.right() : m_captionLabel->geometry().right();
    const auto drawEtch = [&](const QRect &r, const QColor &colour) {
        painter.setPen(colour);
        painter.drawLine(r.topLeft(), QPoint(gapLeft, r.top()));
        painter.drawLine(QPoint(gapRight, r.top()), r.topRight());
        painter.drawLine(r.topRight(), r.bottomRight());
        painter.drawLine(r.bottomRight(), r.bottomLeft());
        painter.drawLine(r.bottomLeft(), r.topLeft());
    };
    drawEtch(border, palette().color(QPalette::Mid));
    drawEtch(border.translated(1, 1), palette().color(QPalette::Light));
}

PictureBox::PictureBox(QWidget *container, const QString &name, const QRect &twips, const QColor &fill)
    : QWidget(container)
    , m_widthTwips(float(twips.width()))
{
    setObjectName(name);
    setAccessibleName(name);
    setGeometry(pixelsFromTwips(twips));
    setBackgroundColour(this, fill);
}

void PictureBox::setWidth(float twips)
{
    m_widthTwips = twips;
    resize(twipsToPixels(qRound(twips)), height());
}

QLabel *makeLabel(QWidget *container, const QString &name, const QString &text, const QRect &twips,
                  const QFont &font, const QColor &colour)
{
    auto *label = new QLabel(text, container);
    label->setObjectName(name);
    label->setGeometry(pixelsFromTwips(twips));
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    if (colour.isValid())
        setTextColour(label, colour);
    return label;
}

QLabel *makeLogo(QWidget *container, const QString &name, const QRect &twips)
{
    auto *image = new QLabel(container);
    image->setObjectName(name);
    image->setGeometry(pixelsFromTwips(twips));
    image->setScaledContents(true);
    image->setPixmap(Pictures::logo());
    image->setAccessibleName(QCoreApplication::translate("Controls", "Merivo logo"));
    return image;
}

QLineEdit *makeTextBox(QWidget *container, const QString &name, const QRect &twips)
{
    auto *box = new QLineEdit(container);
    box->setObjectName(name);
    box->setGeometry(pixelsFromTwips(twips));
    return box;
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette p = widget->palette();
    const QColor readable = readableOn(colour, p.color(QPalette::Window));
    p.setColor(QPalette::WindowText, readable);
    p.setColor(QPalette::Text, readable);
    widget->setPalette(p);
}

void setFixedColour(QWidget *widget, QPalette::ColorRole background, const QColor &colour)
{
    const QPalette::ColorRole text = background == QPalette::Base     ? QPalette::Text
                                     : background == QPalette::Button ? QPalette::ButtonText
                                                                      : QPalette::WindowText;
    QPalette p = widget->palette();
    p.setColor(background, colour);
    // The desktop's text colour may be meant for a background of its own:
    // light text on white is as unreadable as dark text on black.
    p.setColor(text, readableOn(p.color(text), colour));
    widget->setPalette(p);
}

void setBackgroundColour(QWidget *widget, const QColor &colour)
{
    setFixedColour(widget, QPalette::Window, colour);
    widget->setAutoFillBackground(true);
}

namespace {

// Draws a password box's hidden characters as stars, whatever the style's own choice.
class StarPasswordStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

void showTypingAsStars(QLineEdit *box)
{
    auto *style = new StarPasswordStyle;
    style->setParent(box);
    box->setStyle(style);
    box->setEchoMode(QLineEdit::Password);
}
