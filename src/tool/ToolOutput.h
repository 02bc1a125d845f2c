#pragma once

#include <QCoreApplication>
#include <QString>

class QIODevice;

// What a merivo-tool command writes: results on output, failures as plain
// lines on errors. Every line goes out with control characters shown escaped,
// as file names, files and servers must not steer the terminal. Output that
// could not be written is remembered, so that the command never reports
// success for it.
class ToolOutput
{
    Q_DECLARE_TR_FUNCTIONS(ToolOutput)

public:
    ToolOutput(QIODevice &output, QIODevice &errors);

    // One line of results.
    void say(const QString &line);
    // One line on errors, after the program's name.
    void note(const QString &line);
    // Bytes to output as they are (help, exported files).
    void write(const QByteArray &bytes);
    // The status the command ends with: a failure, said on errors, when
    // output was lost (also when flushing it now fails). Starts afresh.
    int finish(int status);

    // The text with every character that would move the cursor, change the
    // terminal's state or reorder what it shows written as an escape instead.
    static QString escapedControls(const QString &text);

private:
    QIODevice &m_output;
    QIODevice &m_errors;
    bool m_outputFailed = false;
    QString m_outputError;
};
