#include "tool/Csv.h"

#include "tool/Utf8Text.h"

namespace Csv {

qsizetype appendRecord(QByteArray &out, const QByteArrayView *fields, qsizetype count, char separator)
{
    qsizetype repaired = 0;
    QByteArray storage;
    for (qsizetype i = 0; i < count; ++i) {
        if (i > 0)
            out.append(separator);
        QByteArrayView field = fields[i];
        repaired += Utf8Text::makeClean(field, storage);
        bool quote = !field.isEmpty()
            && (field.front() == ' ' || field.front() == '\t' || field.back() == ' ' || field.back() == '\t');
        for (qsizetype k = 0; k < field.size() && !quote; ++k) {
            const char c = field[k];
            quote = c == separator || c == '"' || c == '\n' || c == '\r';
        }
        if (!quote) {
            out.append(field);
            continue;
        }
        out.append('"');
        for (const char c : field) {
            if (c == '"')
                out.append('"');
            out.append(c);
        }
        out.append('"');
    }
    out.append("\r\n");
    return repaired;
}

char guessSeparator(QByteArrayView text)
{
    qsizetype commas = 0, semicolons = 0, tabs = 0;
    bool quoted = false;
    for (const char c : text) {
        if (c == '\n' || c == '\r')
            break;
        if (c == '"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == ',')
            ++commas;
        else if (c == ';')
            ++semicolons;
        else if (c == '\t')
            ++tabs;
    }
    if (semicolons > commas && semicolons >= tabs)
        return ';';
    if (tabs > commas)
        return '\t';
    return ',';
}

} // namespace Csv

CsvReader::CsvReader(QByteArrayView data, char separator) : m_data(data), m_separator(separator) {}

bool CsvReader::fail(const QString &message)
{
    m_error = tr("line %1: %2").arg(m_line).arg(message);
    m_pos = m_data.size();
    return false;
}

bool CsvReader::next(std::vector<QByteArray> &fields)
{
    fields.clear();
    const qsizetype size = m_data.size();
    const char *data = m_data.data();

    // Blank lines hold no record.
    while (m_pos < size && (data[m_pos] == '\n' || data[m_pos] == '\r')) {
        if (data[m_pos] == '\n' || m_pos + 1 == size || data[m_pos + 1] != '\n')
            ++m_line;
        ++m_pos;
    }
    if (m_pos >= size)
        return false;
    m_recordLine = m_line;

    for (;;) {
        if (m_pos < size && data[m_pos] == '"') {
            // A quoted field: up to the quote that is not doubled.
            const qsizetype start = ++m_pos;
            bool doubled = false;
            for (;;) {
                if (m_pos >= size)
                    return fail(tr("a quoted field is not closed"));
                const char c = data[m_pos];
                if (c == '"') {
                    if (m_pos + 1 < size && data[m_pos + 1] == '"') {
                        doubled = true;
                        m_pos += 2;
                        continue;
                    }
                    break;
                }
                if (c == '\n' || (c == '\r' && (m_pos + 1 == size || data[m_pos + 1] != '\n')))
                    ++m_line;
                ++m_pos;
            }
            const QByteArrayView inside(data + start, m_pos - start);
            ++m_pos; // the closing quote
            if (doubled) {
                QByteArray field = inside.toByteArray();
                field.replace("\"\"", "\"");
                fields.push_back(field);
            } else {
                fields.push_back(QByteArray::fromRawData(inside.data(), inside.size()));
            }
            if (m_pos < size && data[m_pos] != m_separator && data[m_pos] != '\n' && data[m_pos] != '\r')
                return fail(tr("text after the closing quote of a field"));
        } else {
            const qsizetype start = m_pos;
            while (m_pos < size && data[m_pos] != m_separator && data[m_pos] != '\n' && data[m_pos] != '\r')
                ++m_pos;
            fields.push_back(QByteArray::fromRawData(data + start, m_pos - start));
        }

        if (m_pos < size && data[m_pos] == m_separator) {
            ++m_pos;
            continue;
        }
        // The end of the record: a line break of any kind, or the end.
        if (m_pos < size && data[m_pos] == '\r')
            ++m_pos;
        if (m_pos < size && data[m_pos] == '\n')
            ++m_pos;
        ++m_line;
        return true;
    }
}
