#include "contacts/TypedTextLimit.h"

#include <QLineEdit>

#include <utility>

TypedTextLimit::TypedTextLimit(QLineEdit *box, qsizetype limit) : QValidator(box), m_box(box), m_limit(limit)
{
    box->setValidator(this);
    // The box also says "rejected" when the program sets a longer text,
    // which it keeps; an edit it undid changes no text. So a refusal is
    // told once the event is over, if no text was set meanwhile and what
    // the box holds is within the limit.
    connect(box, &QLineEdit::inputRejected, this, [this] {
        m_pending = std::exchange(m_tooLong, 0);
        if (m_pending > 0)
            QMetaObject::invokeMethod(this, &TypedTextLimit::tellIfRefused, Qt::QueuedConnection);
    });
    connect(box, &QLineEdit::textChanged, this, [this] { m_pending = 0; });
}

QValidator::State TypedTextLimit::validate(QString &input, int &) const
{
    if (input.size() <= m_limit)
        return Acceptable;
    m_tooLong = input.size();
    return Invalid;
}

void TypedTextLimit::tellIfRefused()
{
    const qsizetype length = std::exchange(m_pending, 0);
    if (length > 0 && m_box->text().size() <= m_limit)
        Q_EMIT refused(length);
}
