#include "tool/ToolOutput.h"

#include <QFileDevice>
#include <QIODevice>

namespace {

bool isShownEscaped(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0) // C0 and C1 control characters, DEL
        || c == 0x200E || c == 0x200F || (c >= 0x2028 && c <= 0x202E) // marks, separators, embeddings
        || (c >= 0x2066 && c <= 0x2069);                              // isolates
}

} // namespace

QString ToolOutput::escapedControls(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!isShownEscaped(u))
            shown.append(c);
        else if (u == '\n')
            shown.append(QLatin1String("\\n"));
        else if (u == '\r')
            shown.append(QLatin1String("\\r"));
        else if (u == '\t')
            shown.append(QLatin1String("\\t"));
        else if (u < 0x100)
            shown.append(QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0')));
        else
            shown.append(QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0')));
    }
    return shown;
}

ToolOutput::ToolOutput(QIODevice &output, QIODevice &errors) : m_output(output), m_errors(errors) {}

void ToolOutput::say(const QString &line)
{
    write((escapedControls(line) + QLatin1Char('\n')).toUtf8());
}

void ToolOutput::note(const QString &line)
{
    m_errors.write((QStringLiteral("merivo-tool: ") + escapedControls(line) + QLatin1Char('\n')).toUtf8());
}

void ToolOutput::write(const QByteArray &bytes)
{
    if (m_output.write(bytes) != bytes.size() && !m_outputFailed) {
        m_outputFailed = true;
        m_outputError = m_output.errorString();
    }
}

int ToolOutput::finish(int status)
{
    // Standard output may be buffered: what could not be written shows now.
    if (auto *file = qobject_cast<QFileDevice *>(&m_output); file && !file->flush() && !m_outputFailed) {
        m_outputFailed = true;
        m_outputError = file->errorString();
    }
    const bool lost = m_outputFailed;
    m_outputFailed = false;
    if (lost && status == 0) {
        note(tr("Could not write to standard output: %1").arg(m_outputError));
        return 1;
    }
    return status;
}
