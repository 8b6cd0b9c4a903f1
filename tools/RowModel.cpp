#include "tools/RowModel.h"

#include "odbc/OdbcConnection.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <algorithm>
#include <cstring>
#include <set>

namespace {

constexpr std::uint32_t kNullBit = 0x80000000u;
constexpr std::size_t kBlockBytes = 1024 * 1024;
// A cell shows the start of a long value; the tool tip shows more, the copy all of it.
constexpr int kShownChars = 500;
constexpr int kTipChars = 64 * 1024;

// The cell's text: the value's characters, a binary value's bytes in hex digits after 0x.
void AppendCell(std::string& out, const CColumnValue& value)
{
    if (!value.m_bBinary) {
        out += value.m_strText;
        return;
    }
    static const char digits[] = "0123456789ABCDEF";
    out += "0x";
    for (unsigned char c : value.m_strRaw) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
}

// Adds a field to a line of text: quoted, quotes doubled, when it holds any of special.
void AppendField(std::string& out, const std::string& field, const char* special)
{
    if (field.find_first_of(special) == std::string::npos) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

QString Shown(const char* bytes, std::size_t size, int limit)
{
    const bool cut = size > static_cast<std::size_t>(limit) * 4;
    QString text = QString::fromUtf8(bytes, static_cast<qsizetype>(cut ? limit * 4 : size));
    if (text.size() > limit || cut)
        text = text.left(limit) + QChar(0x2026);
    return text;
}

} // namespace

char* CRowStore::Allocate(std::size_t size)
{
    // Records start on a multiple of four: they begin with their end offsets.
    m_nUsed = (m_nUsed + 3) & ~std::size_t{3};
    if (m_blocks.empty() || m_nUsed + size > m_blockSizes.back()) {
        const std::size_t bytes = std::max(size, kBlockBytes);
        m_blocks.push_back(std::make_unique<char[]>(bytes));
        m_blockSizes.push_back(bytes);
        m_nUsed = 0;
    }
    char* at = m_blocks.back().get() + m_nUsed;
    m_nUsed += size;
    return at;
}

void CRowStore::AddRow(COdbcConnection& connection, int columns)
{
    const auto n = static_cast<std::size_t>(std::max(columns, 0));
    std::vector<std::uint32_t> ends(n);
    m_scratch.clear();
    for (std::size_t c = 0; c < n; ++c) {
        const CColumnValue& value = connection.GetColumnValue(static_cast<int>(c) + 1);
        if (!value.m_bNull)
            AppendCell(m_scratch, value);
        ends[c] = static_cast<std::uint32_t>(m_scratch.size()) | (value.m_bNull ? kNullBit : 0);
    }
    const std::size_t head = n * sizeof(std::uint32_t);
    char* record = Allocate(head + m_scratch.size());
    std::memcpy(record, ends.data(), head);
    std::memcpy(record + head, m_scratch.data(), m_scratch.size());
    m_rows.push_back(record);
}

void CRowStore::Append(CRowStore& other)
{
    // The last block taken over goes on filling where other left it.
    for (std::size_t i = 0; i < other.m_blocks.size(); ++i) {
        m_blocks.push_back(std::move(other.m_blocks[i]));
        m_blockSizes.push_back(other.m_blockSizes[i]);
    }
    m_nUsed = m_blocks.empty() ? 0 : other.m_nUsed;
    m_rows.insert(m_rows.end(), other.m_rows.begin(), other.m_rows.end());
    other.m_blocks.clear();
    other.m_blockSizes.clear();
    other.m_rows.clear();
    other.m_nUsed = 0;
}

const char* CRowStore::Value(std::size_t row, int column, int columns, std::size_t& size) const
{
    const char* record = m_rows[row];
    std::uint32_t end, begin = 0;
    std::memcpy(&end, record + column * sizeof(std::uint32_t), sizeof end);
    if (column > 0)
        std::memcpy(&begin, record + (column - 1) * sizeof(std::uint32_t), sizeof begin);
    begin &= ~kNullBit;
    size = (end & ~kNullBit) - begin;
    return end & kNullBit ? nullptr : record + columns * sizeof(std::uint32_t) + begin;
}

std::size_t CRowStore::Bytes() const
{
    std::size_t bytes = m_rows.capacity() * sizeof(const char*);
    for (std::size_t size : m_blockSizes)
        bytes += size;
    return bytes;
}

void CRowStore::Clear()
{
    m_blocks.clear();
    m_blockSizes.clear();
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_nUsed = 0;
}

CRowModel::CRowModel(QObject* parent) : QAbstractTableModel(parent) {}

void CRowModel::Reset(const std::vector<std::string>& names, const std::vector<bool>& numeric,
                      bool atEnd)
{
    beginResetModel();
    m_names = names;
    m_numeric = numeric;
    m_store.Clear();
    m_bAtEnd = atEnd;
    m_bAsked = false;
    endResetModel();
}

void CRowModel::AppendRows(CRowStore& rows, bool atEnd)
{
    m_bAsked = false;
    m_bAtEnd = atEnd;
    if (rows.Rows() == 0)
        return;
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.Rows()) - 1);
    m_store.Append(rows);
    endInsertRows();
}

std::string CRowModel::Text(std::size_t row, int column, bool* isNull) const
{
    std::size_t size = 0;
    const char* bytes = m_store.Value(row, column, columnCount(), size);
    if (isNull)
        *isNull = bytes == nullptr;
    return bytes ? std::string(bytes, size) : std::string();
}

std::string CRowModel::CopyText(const QModelIndexList& selection) const
{
    std::set<int> rows, columns;
    std::set<std::pair<int, int>> cells;
    for (const QModelIndex& index : selection) {
        rows.insert(index.row());
        columns.insert(index.column());
        cells.emplace(index.row(), index.column());
    }
    if (cells.empty())
        return {};
    const char* special = "\t\r\n\"";
    std::string text;
    for (int column : columns) {
        AppendField(text, m_names[static_cast<std::size_t>(column)], special);
        text += column == *columns.rbegin() ? '\n' : '\t';
    }
    for (int row : rows) {
        for (int column : columns) {
            if (cells.count({row, column}))
                AppendField(text, Text(static_cast<std::size_t>(row), column), special);
            text += column == *columns.rbegin() ? '\n' : '\t';
        }
    }
    return text;
}

bool CRowModel::WriteCsv(const std::function<bool(const std::string&)>& put) const
{
    const char* special = ",\r\n\"";
    std::string text;
    const int columns = columnCount();
    for (int c = 0; c < columns; ++c) {
        AppendField(text, m_names[static_cast<std::size_t>(c)], special);
        text += c + 1 < columns ? "," : "\r\n";
    }
    for (std::size_t row = 0; row < m_store.Rows(); ++row) {
        for (int c = 0; c < columns; ++c) {
            AppendField(text, Text(row, c), special);
            text += c + 1 < columns ? "," : "\r\n";
        }
        if (text.size() >= 64 * 1024) {
            if (!put(text))
                return false;
            text.clear();
        }
    }
    return put(text);
}

int CRowModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_store.Rows());
}

int CRowModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_names.size());
}

QVariant CRowModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    std::size_t size = 0;
    const char* bytes =
        m_store.Value(static_cast<std::size_t>(index.row()), index.column(), columnCount(), size);
    switch (role) {
    case Qt::DisplayRole:
        if (!bytes)
            return QStringLiteral("NULL");
        {
            // A line break would hide the rest of the value in a one-line cell.
            QString text = Shown(bytes, size, kShownChars);
            for (QChar& c : text)
                if (c == '\n' || c == '\r' || c == '\t')
                    c = QChar(' ');
            return text;
        }
    case Qt::ToolTipRole:
        return bytes ? Shown(bytes, size, kTipChars) : QStringLiteral("NULL");
    case Qt::ForegroundRole:
        // A NULL must not pass for the text 'NULL'.
        return bytes ? QVariant() : QBrush(QColor(Qt::gray));
    case Qt::FontRole:
        if (!bytes) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        return {};
    case Qt::TextAlignmentRole:
        return static_cast<std::size_t>(index.column()) < m_numeric.size() &&
                       m_numeric[static_cast<std::size_t>(index.column())]
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant CRowModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || static_cast<std::size_t>(section) >= m_names.size())
        return {};
    return QString::fromStdString(m_names[static_cast<std::size_t>(section)]);
}

bool CRowModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && !m_bAtEnd && !m_bAsked;
}

void CRowModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    // Asked once until the rows arrive: the view asks again on every scroll step.
    m_bAsked = true;
    emit MoreWanted();
}
