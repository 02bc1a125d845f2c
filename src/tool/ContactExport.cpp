#include "tool/ContactExport.h"

#include "tool/ContactRows.h"
#include "tool/Csv.h"
#include "tool/VCardWriter.h"

#include <QIODevice>

namespace {

// Output is written in blocks of about this size.
constexpr qsizetype BlockSize = 1 << 20;

} // namespace

std::optional<ContactExport::Format> ContactExport::formatNamed(const QString &format, const QString &vcardVersion)
{
    if (format == QLatin1String("csv"))
        return vcardVersion.isEmpty() ? std::optional<Format>(Format::Csv) : std::nullopt;
    if (format != QLatin1String("vcard"))
        return std::nullopt;
    if (vcardVersion.isEmpty() || vcardVersion == QLatin1String("4.0") || vcardVersion == QLatin1String("4"))
        return Format::VCard4;
    if (vcardVersion == QLatin1String("3.0") || vcardVersion == QLatin1String("3"))
        return Format::VCard3;
    return std::nullopt;
}

bool ContactExport::startsFormula(QByteArrayView value)
{
    return !value.isEmpty() && QByteArrayView("=+-@\t\r").contains(value.front());
}

bool ContactExport::run(const QString &databasePath, Format format, QIODevice &out)
{
    m_count = 0;
    m_converted = 0;
    m_madeInert = 0;
    m_lastError.clear();
    ContactRows rows;
    if (!rows.open(databasePath)) {
        m_lastError = rows.lastError();
        return false;
    }

    QByteArray block;
    block.reserve(BlockSize + 4096);
    const auto flush = [&]() {
        if (out.write(block) != block.size()) {
            m_lastError = tr("Could not write the contacts: %1").arg(out.errorString());
            return false;
        }
        block.resize(0); // keeps the allocation for the next block
        return true;
    };

    const VCardWriter vcards(format == Format::VCard3 ? VCardWriter::Version::V3 : VCardWriter::Version::V4);
    if (format == Format::Csv)
        Csv::appendRecord(block, contactFieldNameViews().data(), ContactFieldCount);

    ContactFieldViews fields;
    QByteArray inert[ContactFieldCount];
    while (rows.next()) {
        fields = rows.fields();
        for (int i = 0; format == Format::Csv && m_spreadsheetSafe && i < ContactFieldCount; ++i) {
            if (startsFormula(fields[i])) {
                inert[i] = '\'' + fields[i].toByteArray();
                fields[i] = inert[i];
                ++m_madeInert;
            }
        }
        // The writers repair what is not UTF-8, and say how often.
        if (format == Format::Csv)
            m_converted += Csv::appendRecord(block, fields.data(), ContactFieldCount);
        else
            m_converted += vcards.append(fields, block);
        ++m_count;
        if (block.size() >= BlockSize && !flush())
            return false;
    }
    if (!rows.lastError().isEmpty()) {
        m_lastError = rows.lastError();
        return false;
    }
    return flush();
}
