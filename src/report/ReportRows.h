#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryFile>

#include <functional>
#include <vector>

// The rows of a report as plain text, one cell per column, in report order.
// The text goes to a temporary file of its own as it comes (UTF-8, each
// cell after its length) and is read back a row at a time when a page is
// composed, so that a million contacts do not stay in memory: only where
// each row starts and the order of the rows do.
class ReportRows
{
public:
    explicit ReportRows(int columnCount);

    int columnCount() const { return m_columnCount; }
    qsizetype rowCount() const { return qsizetype(m_rowStarts.size()) - (m_cellsInRow ? 1 : 0); }

    // Cells are appended row by row, left to right.
    void append(QStringView cell);
    void appendUtf8(QByteArrayView cell);
    // From now on row i is the row appended as order[i].
    void setOrder(std::vector<quint32> order);
    // Empty while every row could be kept; else why not, for the user.
    QString error() const { return m_error; }

    // The cells of `row`, into `cells` (resized to the column count). Rows
    // may be read on several threads at once.
    void read(qsizetype row, std::vector<QString> &cells) const;
    QString cell(qsizetype row, int column) const;

    // Reads the rows appended as [from, to) in that order (from the file in
    // large pieces), each into `cells`, and hands each to `use` with its
    // place in the report.
    void readAppended(qsizetype from, qsizetype to, std::vector<QString> &cells,
                      const std::function<void(qsizetype row)> &use) const;

private:
    void flush();
    // Where the row appended as `stored` starts; past the last row, the end of the text.
    qint64 rowStart(size_t stored) const;
    // `size` bytes of the file from `start`, on any thread; false when they cannot be read.
    bool readFile(qint64 start, char *into, qint64 size) const;
    // The cells of the row at `at`, which is moved past it.
    static void decodeCells(const char *&at, std::vector<QString> &cells);

    int m_columnCount;
    int m_cellsInRow = 0;
    std::vector<qint64> m_rowStarts; // where each appended row starts
    std::vector<quint32> m_order;     // empty: as appended
    std::vector<quint32> m_place;     // where each appended row is in the order
    QByteArray m_pending;             // appended, not yet in the file
    qint64 m_written = 0;             // bytes in the file
    mutable QTemporaryFile m_file;
    QString m_error;
};
