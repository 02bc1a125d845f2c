#include "recordform/DataControl.h"

#include "toolkit/LongText.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QShortcut>
#include <QToolButton>

namespace {

// An arrow button of the bar, drawn by hand so that it looks the same with
// every font: a triangle, with a bar for first and last.
class ArrowButton : public QToolButton
{
public:
    enum class Arrow { First, Previous, Next, Last };

    ArrowButton(Arrow arrow, const QString &name, const QString &tip, QWidget *parent)
        : QToolButton(parent), m_arrow(arrow)
    {
        setObjectName(name);
        setToolTip(tip);
        setAccessibleName(tip);
        setFocusPolicy(Qt::NoFocus);
        setAutoRepeat(arrow == Arrow::Previous || arrow == Arrow::Next);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QToolButton::paintEvent(event);
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));

        const qreal side = qMin(width(), height()) * 0.4;
        const QPointF centre = QRectF(rect()).center();
        const bool pointsLeft = m_arrow == Arrow::First || m_arrow == Arrow::Previous;
        const bool withBar = m_arrow == Arrow::First || m_arrow == Arrow::Last;
        const qreal barWidth = withBar ? qMax<qreal>(1.5, side / 5) : 0;
        const qreal total = side * 0.8 + barWidth;
        qreal left = centre.x() - total / 2;

        const auto drawBar = [&]() {
            painter.drawRect(QRectF(left, centre.y() - side / 2, barWidth, side));
            left += barWidth;
        };
        if (withBar && pointsLeft)
            drawBar();
        QPainterPath triangle;
        const qreal tipX = pointsLeft ? left : left + side * 0.8;
        const qreal baseX = pointsLeft ? left + side * 0.8 : left;
        triangle.moveTo(tipX, centre.y());
        triangle.lineTo(baseX, centre.y() - side / 2);
        triangle.lineTo(baseX, centre.y() + side / 2);
        triangle.closeSubpath();
        painter.drawPath(triangle);
        left += side * 0.8;
        if (withBar && !pointsLeft)
            drawBar();
    }

private:
    Arrow m_arrow;
};

} // namespace

DataControl::DataControl(QWidget *parent)
    : QWidget(parent),
      m_recordset(new ::Recordset(this)),
      m_first(new ArrowButton(ArrowButton::Arrow::First, QStringLiteral("moveFirst"), tr("First contact"), this)),
      m_previous(new ArrowButton(ArrowButton::Arrow::Previous, QStringLiteral("movePrevious"), tr("Previous contact"), this)),
      m_next(new ArrowButton(ArrowButton::Arrow::Next, QStringLiteral("moveNext"), tr("Next contact"), this)),
      m_last(new ArrowButton(ArrowButton::Arrow::Last, QStringLiteral("moveLast"), tr("Last contact"), this)),
      m_caption(new QLabel(this))
{
    m_caption->setObjectName(QStringLiteral("caption"));
    m_caption->setAccessibleName(tr("Current contact"));
    m_caption->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_caption->setIndent(4);
    m_caption->setTextFormat(Qt::PlainText);

    connect(m_recordset, &::Recordset::currentRecordChanged, this, &DataControl::showCurrentRecord);
    // Direct: Update() writes the buffer right after this returns.
    connect(m_recordset, &::Recordset::aboutToSave, this, &DataControl::putBoxesIntoBuffer, Qt::DirectConnection);

    connect(m_first, &QToolButton::clicked, this, [this]() { navigate(m_recordset->MoveFirst()); });
    connect(m_previous, &QToolButton::clicked, this,
            [this]() { navigate(m_recordset->MovePrevious(::Recordset::AtEdge::Stay)); });
    connect(m_next, &QToolButton::clicked, this,
            [this]() { navigate(m_recordset->MoveNext(::Recordset::AtEdge::Stay)); });
    connect(m_last, &QToolButton::clicked, this, [this]() { navigate(m_recordset->MoveLast()); });

    // The arrows take no focus. So that browsing also works from the
    // keyboard, each answers a key wherever the focus is in the window; a
    // hidden bar answers none.
    const auto addKey = [this](const QKeySequence &key, QToolButton *arrow) {
        auto *shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, arrow, &QToolButton::click);
        arrow->setToolTip(tr("%1 (%2)").arg(arrow->toolTip(), key.toString(QKeySequence::NativeText)));
    };
    addKey(QKeySequence(Qt::CTRL | Qt::Key_PageUp), m_first);
    addKey(QKeySequence(Qt::Key_PageUp), m_previous);
    addKey(QKeySequence(Qt::Key_PageDown), m_next);
    addKey(QKeySequence(Qt::CTRL | Qt::Key_PageDown), m_last);
}

DataControl::~DataControl() = default;

bool DataControl::open(const QString &databasePath, const ContactDatabase::Settings &settings)
{
    const bool opened = m_recordset->open(databasePath, settings);
    if (!opened)
        fillBoxes();
    return opened;
}

QString DataControl::lastError() const
{
    return m_recordset->lastError();
}

void DataControl::bind(ContactField field, QLineEdit *box)
{
    m_boxes[fieldIndex(field)] = box;
    fillBox(fieldIndex(field));
}

void DataControl::setBoxesLocked(bool locked)
{
    m_locked = locked;
    for (int i = 0; i < ContactFieldCount; ++i) {
        if (m_boxes[i])
            m_boxes[i]->setReadOnly(m_locked || m_shortened[i]);
    }
}

bool DataControl::UpdateRecord()
{
    return m_recordset->Update();
}

bool DataControl::Refresh()
{
    return m_recordset->Refresh();
}

QString DataControl::caption() const
{
    return m_captionText;
}

void DataControl::setCaption(const QString &caption)
{
    m_captionText = caption;
    m_caption->setText(shortenedForDisplay(caption, 200));
}

void DataControl::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int side = height();
    const int w = width();
    m_first->setGeometry(0, 0, side, side);
    m_previous->setGeometry(side, 0, side, side);
    m_caption->setGeometry(2 * side, 0, qMax(0, w - 4 * side), side);
    m_next->setGeometry(w - 2 * side, 0, side, side);
    m_last->setGeometry(w - side, 0, side, side);
}

void DataControl::showCurrentRecord()
{
    fillBoxes();
    Q_EMIT Reposition();
}

void DataControl::fillBoxes()
{
    for (int i = 0; i < ContactFieldCount; ++i)
        fillBox(i);
}

void DataControl::fillBox(int field)
{
    QLineEdit *box = m_boxes[field];
    if (!box)
        return;
    bool shortened = false;
    const QString shown = m_recordset->currentRecord()[field].shownText(LongestShownText, &shortened);
    box->setText(shown);
    // What the box holds is what a save compares with: a box that could not
    // take the whole text does not count as changed, and is not saved.
    m_shown[field] = box->text();
    shortened = shortened || m_shown[field] != shown;
    m_shortened[field] = shortened;
    box->setReadOnly(m_locked || shortened);
    box->setToolTip(shortened ? tr("Shown shortened: this field holds more than %L1 characters, too many to show "
                                   "or edit here. It stays as it is when the contact is saved.")
                                    .arg(LongestShownText)
                              : QString());
}

void DataControl::putBoxesIntoBuffer()
{
    for (int i = 0; i < ContactFieldCount; ++i) {
        if (m_boxes[i] && !m_shortened[i] && m_boxes[i]->text() != m_shown[i])
            m_recordset->setValue(static_cast<ContactField>(i), m_boxes[i]->text());
    }
}

void DataControl::navigate(bool succeeded)
{
    if (!succeeded)
        Q_EMIT navigationFailed(m_recordset->lastError());
}
