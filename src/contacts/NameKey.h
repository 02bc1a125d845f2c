#pragma once

#include <QByteArray>
#include <QByteArrayView>
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

// The key of a name stored as UTF-8 (a byte that is not UTF-8 reads as
// U+FFFD), as UTF-8, into `key`: what nameKey() gives, without making
// strings on the way for the names of most alphabets.
void nameKeyUtf8(QByteArrayView utf8, QByteArray &key);
