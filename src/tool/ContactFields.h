#pragma once

#include "contacts/ContactRecord.h"

#include <QByteArrayView>

#include <array>

// The eight fields of one contact as UTF-8 views, as they come out of
// SQLite for the writers: nothing is copied or converted on the way.
using ContactFieldViews = std::array<QByteArrayView, ContactFieldCount>;
