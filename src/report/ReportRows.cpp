#include "ReportRows.h"

#include <QCoreApplication>
#include <QStringDecoder>

#include <cstring>

#include <unistd.h>

namespace {

// Appended text is written out in pieces of this size.
constexpr qsizetype FlushSize = 1 << 20;

void appendLength(QByteArray &out, quint32 length)
{
    while (length >= 0x80) {
        out.append(char(0x80 | (length & 0x7f)));
        length >>= 7;
    }
    out.append(char(length));
}

quint32 takeLength(const char *&at)
{
    quint32 length = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = quint8(*at++);
        length |= quint32(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return length;
    }
}

} // namespace

ReportRows::ReportRows(int columnCount)
    : m_columnCount(columnCount)
{
}

void ReportRows::append(QStringView cell)
{
    appendUtf8(cell.toUtf8());
}

void ReportRows::appendUtf8(QByteArrayView cell)
{
    if (m_columnCount == 0)
        return;
    if (m_cellsInRow == 0) {
        if (m_pending.size() >= FlushSize)
            flush();
        m_rowStarts.push_back(m_written + m_pending.size());
    }
    appendLength(m_pending, quint32(cell.size()));
    m_pending.append(cell);
    if (++m_cellsInRow == m_columnCount)
        m_cellsInRow = 0;
}

void ReportRows::flush()
{
    if (!m_error.isEmpty())
        return;
    if (!m_file.isOpen() && !m_file.open()) {
        m_error = QCoreApplication::translate("ReportRows", "no temporary file can be made for the rows: %1")
                      .arg(m_file.errorString());
        return;
    }
    if (m_file.write(m_pending) != m_pending.size()) {
        m_error = QCoreApplication::translate("ReportRows", "the rows cannot be kept in a temporary file: %1")
                      .arg(m_file.errorString());
        return;
    }
    m_written += m_pending.size();
    m_pending.clear();
    // Written straight through to the file, so that reads by position see it.
    m_file.flush();
}

void ReportRows::setOrder(std::vector<quint32> order)
{
    m_order = std::move(order);
    m_place.assign(m_order.size(), 0);
    for (size_t row = 0; row < m_order.size(); ++row)
        m_place[m_order[row]] = quint32(row);
}

void ReportRows::read(qsizetype row, std::vector<QString> &cells) const
{
    cells.resize(size_t(m_columnCount));
    const size_t stored = m_order.empty() ? size_t(row) : m_order[size_t(row)];
    const qint64 start = m_rowStarts[stored];
    const qint64 end = rowStart(stored + 1);
    const char *at = nullptr;
    if (start >= m_written) {
        at = m_pending.constData() + (start - m_written);
    } else {
        // Pages may be composed on several threads at once: a buffer each.
        thread_local QByteArray buffer;
        buffer.resize(end - start);
        if (!readFile(start, buffer.data(), buffer.size())) {
            for (QString &cell : cells)
                cell.clear();
            return;
        }
        at = buffer.constData();
    }
    decodeCells(at, cells);
}

void ReportRows::readAppended(qsizetype from, qsizetype to, std::vector<QString> &cells,
                              const std::function<void(qsizetype row)> &use) const
{
    cells.resize(size_t(m_columnCount));
    QByteArray piece;
    for (qsizetype first = from; first < to;) {
        // As many whole rows as make a piece of about FlushSize bytes, one row at least.
        const qint64 start = m_rowStarts[size_t(first)];
        qsizetype last = first + 1;
        while (last < to && m_rowStarts[size_t(last)] - start < FlushSize)
            ++last;
        const qint64 end = rowStart(size_t(last));
        const char *at = nullptr;
        if (start >= m_written) {
            at = m_pending.constData() + (start - m_written);
        } else {
            piece.resize(end - start);
            // The piece may reach into the rows not yet in the file.
            const qint64 inFile = std::min(end, m_written) - start;
            if (!readFile(start, piece.data(), inFile))
                piece.fill('\0'); // rows of empty cells
            else if (end > m_written)
                std::memcpy(piece.data() + inFile, m_pending.constData(), size_t(end - m_written));
            at = piece.constData();
        }
        for (qsizetype stored = first; stored < last; ++stored) {
            decodeCells(at, cells);
            use(m_place.empty() ? stored : qsizetype(m_place[size_t(stored)]));
        }
        first = last;
    }
}

qint64 ReportRows::rowStart(size_t stored) const
{
    return stored < m_rowStarts.size() ? m_rowStarts[stored] : m_written + m_pending.size();
}

bool ReportRows::readFile(qint64 start, char *into, qint64 size) const
{
    qint64 got = 0;
    while (got < size) {
        const ssize_t n = ::pread(int(m_file.handle()), into + got, size_t(size - got), off_t(start + got));
        if (n <= 0)
            return false;
        got += n;
    }
    return true;
}

void ReportRows::decodeCells(const char *&at, std::vector<QString> &cells)
{
    // Into the cells' own room, as long as it lasts: no allocation a cell.
    thread_local QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    for (QString &cell : cells) {
        const quint32 length = takeLength(at);
        cell.resize(qsizetype(length)); // never fewer UTF-16 units than UTF-8 bytes
        // Most text is ASCII, which is widened as it is.
        const auto *bytes = reinterpret_cast<const uchar *>(at);
        uchar any = 0;
        for (quint32 i = 0; i < length; ++i)
            any |= bytes[i];
        if (any < 0x80) {
            char16_t *out = reinterpret_cast<char16_t *>(cell.data());
            for (quint32 i = 0; i < length; ++i)
                out[i] = bytes[i];
        } else {
            const QChar *end = decoder.appendToBuffer(cell.data(), QByteArrayView(at, qsizetype(length)));
            cell.truncate(end - cell.constData());
        }
        at += length;
    }
}

QString ReportRows::cell(qsizetype row, int column) const
{
    std::vector<QString> cells;
    read(row, cells);
    return cells[size_t(column)];
}
