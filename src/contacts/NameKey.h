#pragma once

#include <QString>

// The form under which Find compares contact names. Two names match when
// their keys are equal:
//  - trailing blanks (U+0020) are set aside, so "abc " matches "abc";
//  - composed and decomposed spellings are one ("É" and "E" + U+0301);
//  - letters of every alphabet are compared without regard to case, with
//    full case folding, so "ÉMILE" matches "émile" and "STRASSE" matches
//    "Straße".
// What the name keys in the database hold depends on this function, so
// changing it means changing the scheme version in NameIndex (the keys are
// then rebuilt).
QString nameKey(const QString &name);
