#pragma once

#include <QCoreApplication>
#include <QString>

#include <functional>

class DataControl;
class Dialogs;

// The Find button of every record form: asks for a name and makes the first
// contact with that name current in the form's store. The forms differ only
// in how they spell the field, and in what one of them does once the store
// has been searched.
class FindByName
{
    Q_DECLARE_TR_FUNCTIONS(FindByName)

public:
    // The criterion the store is given for a typed name: the name between
    // apostrophes, an apostrophe inside it doubled, one blank before the
    // closing apostrophe.
    static QString criterion(const QString &fieldPart, const QString &answer);

    // Runs one search. `afterSearch` runs once the store has been searched,
    // found or not, before the outcome is told.
    static void run(Dialogs &dialogs, DataControl &data, const QString &fieldPart,
                    const std::function<void()> &afterSearch = {});
};
