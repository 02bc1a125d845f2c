#pragma once

#include "contacts/ContactRecord.h"

#include <QString>

#include <optional>

// A Find criterion as the record forms write it: a field name, "=", and a
// text between apostrophes, e.g.  Name= 'abc '
//  - the field name is one of the eight stored names, in any letter case,
//    optionally in [brackets] (needed for no name, allowed for all);
//  - blanks around "=" and after the closing apostrophe are allowed;
//  - an apostrophe inside the text is written twice: 'O''Brien '.
// Anything else is refused with a message saying what is wrong; the text is
// never handed on to SQL.
struct FindCriterion
{
    ContactField field = ContactField::Name;
    QString text;
};

struct FindCriterionParse
{
    std::optional<FindCriterion> criterion;
    QString error; // empty when the criterion was understood
};

FindCriterionParse parseFindCriterion(const QString &criterion);
