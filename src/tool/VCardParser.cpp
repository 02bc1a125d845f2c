#include "tool/VCardParser.h"

#include <cstring>

namespace {

bool equalsIgnoringCase(QByteArrayView text, const char *word)
{
    const qsizetype length = qsizetype(std::strlen(word));
    return text.size() == length && qstrnicmp(text.data(), length, word, length) == 0;
}

bool containsIgnoringCase(QByteArrayView text, const char *word)
{
    const qsizetype length = qsizetype(std::strlen(word));
    for (qsizetype i = 0; i + length <= text.size(); ++i) {
        if (qstrnicmp(text.data() + i, length, word, length) == 0)
            return true;
    }
    return false;
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
        text.chop(1);
    return text;
}

// The physical lines of the text, ended by LF, CR LF or CR alone.
class Lines
{
public:
    explicit Lines(QByteArrayView data) : m_data(data) {}

    bool atEnd() const { return m_pos >= m_data.size(); }
    qint64 number() const { return m_number; }

    QByteArrayView peek() const
    {
        qsizetype end = m_pos;
        while (end < m_data.size() && m_data[end] != '\n' && m_data[end] != '\r')
            ++end;
        return m_data.sliced(m_pos, end - m_pos);
    }

    QByteArrayView next()
    {
        const QByteArrayView line = peek();
        m_pos += line.size();
        if (m_pos < m_data.size() && m_data[m_pos] == '\r') {
            ++m_pos;
            if (m_pos < m_data.size() && m_data[m_pos] == '\n')
                ++m_pos;
        } else if (m_pos < m_data.size() && m_data[m_pos] == '\n') {
            ++m_pos;
        }
        ++m_number;
        return line;
    }

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
    qint64 m_number = 0;
};

// Where the value begins: the first colon that is not inside a quoted
// parameter value; -1 without one.
qsizetype valueColon(QByteArrayView line)
{
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"')
            quoted = !quoted;
        else if (c == ':' && !quoted)
            return i;
    }
    return -1;
}

} // namespace

bool VCardParser::looksLikeVCard(QByteArrayView data)
{
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);
    Lines lines(data);
    while (!lines.atEnd()) {
        const QByteArrayView line = trimmed(lines.next());
        if (line.isEmpty())
            continue;
        const qsizetype colon = valueColon(line);
        return colon > 0 && equalsIgnoringCase(trimmed(line.first(colon)), "BEGIN")
            && equalsIgnoringCase(trimmed(line.sliced(colon + 1)), "VCARD");
    }
    return false;
}

bool VCardParser::fail(qint64 line, const QString &message)
{
    m_error = tr("line %1: %2").arg(line).arg(message);
    return false;
}

bool VCardParser::parse(QByteArrayView data, const std::function<bool(const VCard &)> &onCard)
{
    m_error.clear();
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);

    Lines lines(data);
    VCard card;
    std::vector<QByteArray> joined; // the lines of this card that were unfolded
    int depth = 0;                  // 1 inside a card, more inside a nested one

    while (!lines.atEnd()) {
        QByteArrayView line = lines.next();
        const qint64 number = lines.number();
        if (trimmed(line).isEmpty())
            continue;

        // A folded line goes on in lines that begin with a blank; a
        // quoted-printable value goes on after a line ending in '='.
        QByteArray unfolded;
        bool isJoined = false;
        const qsizetype headEnd = valueColon(line);
        const bool quotedPrintable =
            headEnd > 0 && containsIgnoringCase(line.first(headEnd), "QUOTED-PRINTABLE");
        while (!lines.atEnd()) {
            const QByteArrayView following = lines.peek();
            const QByteArrayView sofar = isJoined ? QByteArrayView(unfolded) : line;
            if (!following.isEmpty() && (following.front() == ' ' || following.front() == '\t')) {
                if (!isJoined)
                    unfolded = line.toByteArray();
                unfolded.append(following.sliced(1));
            } else if (quotedPrintable && sofar.endsWith('=') && !following.isEmpty()
                       && !equalsIgnoringCase(trimmed(following), "END:VCARD")) {
                if (!isJoined)
                    unfolded = line.toByteArray();
                unfolded.chop(1);
                unfolded.append(following);
            } else {
                break;
            }
            isJoined = true;
            lines.next();
        }
        if (isJoined) {
            joined.push_back(unfolded);
            line = joined.back();
        }

        const qsizetype colon = valueColon(line);
        if (colon < 0) {
            if (depth > 1)
                continue;
            return fail(number, depth == 0 ? tr("text outside of a vCard") : tr("a line without a colon"));
        }
        const QByteArrayView head = line.first(colon);
        const QByteArrayView value = line.sliced(colon + 1);
        const qsizetype semicolon = head.indexOf(';');
        QByteArrayView name = trimmed(semicolon < 0 ? head : head.first(semicolon));
        const QByteArrayView parameters = semicolon < 0 ? QByteArrayView() : head.sliced(semicolon + 1);
        if (const qsizetype dot = name.lastIndexOf('.'); dot >= 0)
            name = name.sliced(dot + 1);

        const bool begins = equalsIgnoringCase(name, "BEGIN");
        const bool ends = equalsIgnoringCase(name, "END");
        if (begins || ends) {
            if (!equalsIgnoringCase(trimmed(value), "VCARD")) {
                if (depth > 1)
                    continue;
                return fail(number, tr("%1:%2 where a vCard was expected")
                                        .arg(QString::fromUtf8(name), QString::fromUtf8(trimmed(value))));
            }
            if (begins) {
                if (++depth == 1) {
                    card.firstLine = number;
                    card.version = QByteArrayLiteral("2.1");
                    card.properties.clear();
                }
                continue;
            }
            if (depth == 0)
                return fail(number, tr("END:VCARD without BEGIN:VCARD"));
            if (--depth == 0) {
                if (!onCard(card)) {
                    m_error = tr("stopped at the vCard ending on line %1").arg(number);
                    return false;
                }
                joined.clear();
            }
            continue;
        }
        if (depth == 0)
            return fail(number, tr("text outside of a vCard"));
        if (depth > 1)
            continue;
        if (name.isEmpty())
            return fail(number, tr("a line without a property name"));
        if (equalsIgnoringCase(name, "VERSION"))
            card.version = trimmed(value).toByteArray();
        card.properties.push_back({name, parameters, value, number});
    }
    if (depth > 0)
        return fail(card.firstLine, tr("the vCard that begins here has no END:VCARD"));
    return true;
}
