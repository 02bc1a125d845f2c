#pragma once

#include "contacts/ContactBatch.h"
#include "tool/ImportReport.h"
#include "tool/VCardParser.h"

// Which vCard properties fill which of the eight fields (the README shows
// the same table):
//
//   Name                 FN; without one N (prefix given additional family
//                        suffix), then ORG
//   Address              ADR of type home; without one, an ADR not of type
//                        work. The components are joined: "street, city,
//                        region postal-code, country"
//   Phone Number         TEL of type home; without one, a TEL not of type work
//   Position             TITLE; without one, ROLE
//   Office address       ADR of type work
//   Office Phone Number  TEL of type work
//   Email Address        EMAIL
//   Website Address      URL
//
// Where several properties qualify, the most preferred (PREF, or TYPE=pref)
// wins, then the first. Every other property, and every one that lost, is
// counted as not kept; VERSION, PRODID, REV and UID say nothing about the
// contact and are passed over.
namespace VCardMapping {

// The line of the property each field was read from, 0 for an empty field.
using ContactLines = std::array<qint64, ContactFieldCount>;

// False when nothing in the card can serve as the name.
bool map(const VCard &card, ContactTexts &values, NotKept &notKept, ContactLines *lines = nullptr);

} // namespace VCardMapping
