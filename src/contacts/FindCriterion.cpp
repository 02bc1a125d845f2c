#include "contacts/FindCriterion.h"

#include <QCoreApplication>

namespace {

bool isFieldNameCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u' ' || c == u'_';
}

// Reads the criterion left to right; each step either advances or records
// the first problem found.
class CriterionReader
{
    Q_DECLARE_TR_FUNCTIONS(FindCriterion)

public:
    explicit CriterionReader(const QString &text) : m_text(text) {}

    FindCriterionParse read()
    {
        FindCriterionParse result;
        skipBlanks();
        if (atEnd())
            return failed(tr("the criterion is empty"));

        const std::optional<QString> fieldName = readFieldName();
        if (!fieldName)
            return failed(m_error);
        const std::optional<ContactField> field = lookUpField(*fieldName);
        if (!field)
            return failed(tr("there is no field \"%1\"").arg(*fieldName));

        skipBlanks();
        if (atEnd() || current() != u'=')
            return failed(tr("\"=\" is missing after the field name"));
        ++m_pos;
        skipBlanks();

        const std::optional<QString> text = readQuotedText();
        if (!text)
            return failed(m_error);
        skipBlanks();
        if (!atEnd()) {
            return failed(tr("unexpected text after the closing apostrophe: \"%1\" "
                             "(an apostrophe inside the text is written twice)")
                              .arg(m_text.mid(m_pos)));
        }

        result.criterion = FindCriterion{*field, *text};
        return result;
    }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar current() const { return m_text.at(m_pos); }

    void skipBlanks()
    {
        while (!atEnd() && current().isSpace())
            ++m_pos;
    }

    FindCriterionParse failed(const QString &why) const
    {
        FindCriterionParse result;
        result.error = tr("Could not understand the search \"%1\": %2").arg(m_text, why);
        return result;
    }

    std::optional<QString> readFieldName()
    {
        if (current() == u'[') {
            const qsizetype close = m_text.indexOf(u']', m_pos + 1);
            if (close < 0) {
                m_error = tr("the field name has no closing \"]\"");
                return std::nullopt;
            }
            const QString name = m_text.mid(m_pos + 1, close - m_pos - 1);
            m_pos = close + 1;
            return name;
        }
        const qsizetype start = m_pos;
        while (!atEnd() && isFieldNameCharacter(current()))
            ++m_pos;
        const QString name = m_text.mid(start, m_pos - start).trimmed();
        if (name.isEmpty()) {
            m_error = tr("a field name is expected at \"%1\"").arg(m_text.mid(start));
            return std::nullopt;
        }
        return name;
    }

    static std::optional<ContactField> lookUpField(const QString &name)
    {
        const auto &names = contactFieldNames();
        for (int i = 0; i < ContactFieldCount; ++i) {
            if (names[i].compare(name, Qt::CaseInsensitive) == 0)
                return static_cast<ContactField>(i);
        }
        return std::nullopt;
    }

    std::optional<QString> readQuotedText()
    {
        if (atEnd() || current() != u'\'') {
            m_error = tr("the text to find must stand between apostrophes");
            return std::nullopt;
        }
        ++m_pos;
        QString text;
        while (!atEnd()) {
            const QChar c = current();
            ++m_pos;
            if (c != u'\'') {
                text.append(c);
            } else if (!atEnd() && current() == u'\'') {
                text.append(c);
                ++m_pos;
            } else {
                return text;
            }
        }
        m_error = tr("the text to find has no closing apostrophe");
        return std::nullopt;
    }

    const QString &m_text;
    qsizetype m_pos = 0;
    QString m_error;
};

} // namespace

FindCriterionParse parseFindCriterion(const QString &criterion)
{
    return CriterionReader(criterion).read();
}
