#pragma once

#include <QString>

// Makes a folder that is not there yet, with every missing folder above it,
// each one only its owner may open: contacts and their copies are personal,
// and a new data folder is made as the XDG base directory rules ask. A
// folder that is already there keeps its mode. False when it could not be
// made.
bool makePrivateFolder(const QString &path);
