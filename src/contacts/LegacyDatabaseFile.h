#pragma once

#include <QByteArrayView>
#include <QString>

// The database files of older address books: Microsoft Jet and Access
// (.mdb, .accdb). Merivo never opens or writes one; merivo-tool imports the
// contact table of one through mdb-export (Debian's mdbtools).
namespace LegacyDatabaseFile {

// How many leading bytes hasSignature() needs to look at.
constexpr qsizetype SignatureLength = 19;

// True when the bytes begin as a Jet or Access database file does.
bool hasSignature(QByteArrayView head);
// Reads the first bytes of the file at path; false when it cannot.
bool recognise(const QString &path);

} // namespace LegacyDatabaseFile
