#pragma once

#include <QValidator>

class QLineEdit;

// Keeps what typing and pasting put into a text box to a number of
// characters, and tells when it refused an edit. A line edit's own maximum
// length would instead cut, without a word, every text the program sets,
// and a line edit holding a megabyte takes seconds for every key pressed. A
// longer text that the program sets (a stored contact) still shows whole and
// may be edited, as long as the edit does not make it longer.
class TypedTextLimit : public QValidator
{
    Q_OBJECT

public:
    // Installs itself as the box's validator; the box owns it.
    TypedTextLimit(QLineEdit *box, qsizetype limit);

    qsizetype limit() const { return m_limit; }
    State validate(QString &input, int &position) const override;

Q_SIGNALS:
    // An edit was refused; it would have made the text `length` characters long.
    void refused(qsizetype length);

private:
    QLineEdit *m_box;
    qsizetype m_limit;
    qsizetype m_length = 0;                // of the box's text before the edit under way
    mutable qsizetype m_refusedLength = 0; // of the text validate() last refused
};
