#pragma once

#include <QValidator>

class QLineEdit;

// Keeps what typing and pasting put into a text box to a number of
// characters, and tells when it refused an edit. A line edit holding a
// megabyte takes seconds for every key pressed; its own maximum length would
// instead cut, without a word, the pasted text and every text the program
// sets. A longer text that the program sets (a stored contact) still shows
// whole and may be edited.
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
    void tellIfRefused();

    QLineEdit *m_box;
    qsizetype m_limit;
    mutable qsizetype m_tooLong = 0; // the last text validate() refused
    qsizetype m_pending = 0;
};
