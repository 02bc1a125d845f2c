#pragma once

#include <QString>

#include <vector>

// The rows of a report as plain text, one cell per column, in report order.
// Kept flat so that a hundred thousand rows cost little beyond their text.
class ReportRows
{
public:
    explicit ReportRows(int columnCount)
        : m_columnCount(columnCount)
    {
    }

    int columnCount() const { return m_columnCount; }
    qsizetype rowCount() const { return m_columnCount ? qsizetype(m_cells.size()) / m_columnCount : 0; }
    const QString &cell(qsizetype row, int column) const { return m_cells[size_t(row * m_columnCount + column)]; }

    // Cells are appended row by row, left to right.
    void append(QString cell) { m_cells.push_back(std::move(cell)); }
    void reserve(qsizetype rows) { m_cells.reserve(size_t(rows * m_columnCount)); }

private:
    int m_columnCount;
    std::vector<QString> m_cells;
};
