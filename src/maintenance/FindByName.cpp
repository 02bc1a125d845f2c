#include "FindByName.h"

#include "contacts/Recordset.h"
#include "recordform/DataControl.h"
#include "toolkit/Dialogs.h"

QString FindByName::criterion(const QString &fieldPart, const QString &answer)
{
    QString literal = answer;
    // An apostrophe would otherwise end the literal early.
    literal.replace(u'\'', QStringLiteral("''"));
    return fieldPart + u'\'' + literal + QStringLiteral(" '");
}

void FindByName::run(Dialogs &dialogs, DataControl &data, const QString &fieldPart,
                     const std::function<void()> &afterSearch)
{
    const QString answer = dialogs.inputBox(tr("Enter Name"), tr("Find"));
    if (answer.isEmpty()) {
        dialogs.messageBox(tr("Must enter a name."), 0, QString());
        return;
    }

    Recordset *records = data.Recordset();
    if (!records->FindFirst(criterion(fieldPart, answer))) {
        // The store could not search: say why; the form stays as it was.
        dialogs.messageBox(records->lastError(), 0, tr("Find"));
        return;
    }
    if (afterSearch)
        afterSearch();
    if (records->NoMatch())
        dialogs.messageBox(tr("No Matching Record"), 0, tr("Not Found"));
}
