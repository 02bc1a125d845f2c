#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QCoreApplication>
#include <QString>

#include <vector>

// Comma-separated values as RFC 4180 has them: a field is quoted when it
// holds the separator, a double quote (written twice), a line break, or a
// blank at either end; records end with CR LF.
namespace Csv {

// Always valid UTF-8: a field that is not clean UTF-8 is written repaired
// (Utf8Text::repaired). Returns how many fields were.
qsizetype appendRecord(QByteArray &out, const QByteArrayView *fields, qsizetype count, char separator = ',');

// The separator of the file text, from its first line: a comma, or the
// semicolon or tab when the line holds more of those (as spreadsheets in
// some languages write it).
char guessSeparator(QByteArrayView text);

} // namespace Csv

// Reads records one at a time from UTF-8 text. Lenient where nothing is
// lost (a line break of any kind ends a record, blank lines are skipped, a
// quote inside an unquoted field is kept), strict where a field's end would
// be a guess: a quoted field never closed, or text after a closing quote.
class CsvReader
{
    Q_DECLARE_TR_FUNCTIONS(CsvReader)

public:
    // data must stay unchanged while it is read; fields may share its bytes.
    CsvReader(QByteArrayView data, char separator);

    // False at the end of the text, or on an error (error() is then set).
    bool next(std::vector<QByteArray> &fields);
    // The line on which the last record read began.
    qint64 line() const { return m_recordLine; }
    QString error() const { return m_error; }

private:
    bool fail(const QString &message);

    QByteArrayView m_data;
    char m_separator;
    qsizetype m_pos = 0;
    qint64 m_line = 1;
    qint64 m_recordLine = 0;
    QString m_error;
};
