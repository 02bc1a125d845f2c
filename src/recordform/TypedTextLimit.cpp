#include "recordform/TypedTextLimit.h"

#include <QLineEdit>

#include <utility>

TypedTextLimit::TypedTextLimit(QLineEdit *box, qsizetype limit) : QValidator(box), m_box(box), m_limit(limit)
{
    box->setValidator(this);
    connect(box, &QLineEdit::textChanged, this, [this](const QString &text) { m_length = text.size(); });
    // The box undoes a refused edit right after saying so; the refusal is
    // told once that is over, not from inside the edit.
    connect(box, &QLineEdit::inputRejected, this, [this] {
        if (const qsizetype length = std::exchange(m_refusedLength, 0))
            QMetaObject::invokeMethod(this, [this, length] { Q_EMIT refused(length); }, Qt::QueuedConnection);
    });
}

QValidator::State TypedTextLimit::validate(QString &input, int &) const
{
    // A text the program set (the box is unmodified since) is shown whole,
    // however long; an edit may shorten a long text but never lengthen a
    // text beyond the limit.
    if (input.size() <= m_limit || !m_box->isModified() || input.size() <= m_length)
        return Acceptable;
    m_refusedLength = input.size();
    return Invalid;
}
