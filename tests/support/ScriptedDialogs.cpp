#include "ScriptedDialogs.h"

#include <QTest>

QString ScriptedDialogs::nextAnswer(const Box &box)
{
    m_asked.append(box);
    if (m_answers.isEmpty()) {
        // An unexpected box: fail loudly, and answer as the user who closes it would.
        QTest::qFail(qPrintable(QStringLiteral("unexpected box \"%1\" titled \"%2\"")
                                    .arg(box.prompt, box.title.value_or(QStringLiteral("<none>")))),
                     __FILE__, __LINE__);
        return QString();
    }
    return m_answers.takeFirst();
}

int ScriptedDialogs::messageBox(const QString &prompt, int style, const std::optional<QString> &title)
{
    const QString answer = nextAnswer({Box::Message, prompt, style, title});
    bool isNumber = false;
    const int result = answer.toInt(&isNumber);
    return isNumber ? result : MsgBox::Cancel;
}

QString ScriptedDialogs::inputBox(const QString &prompt, const QString &title)
{
    return nextAnswer({Box::Input, prompt, 0, title});
}

QString ScriptedDialogs::saveFileName(const QString &caption, const QString &suggestedPath, const QString &)
{
    return nextAnswer({Box::SaveFile, caption, 0, suggestedPath});
}

QList<ScriptedDialogs::Box> ScriptedDialogs::takeAsked()
{
    QList<Box> asked;
    asked.swap(m_asked);
    return asked;
}

ScriptedDialogs::Box ScriptedDialogs::takeOnly()
{
    const QList<Box> asked = takeAsked();
    [&] { QCOMPARE(asked.size(), 1); }();
    return asked.value(0);
}

void compareBox(const ScriptedDialogs::Box &box, const QString &prompt, int style,
                const std::optional<QString> &title)
{
    QCOMPARE(box.kind, ScriptedDialogs::Box::Message);
    QCOMPARE(box.prompt, prompt);
    QCOMPARE(box.style, style);
    QCOMPARE(box.title, title);
}
