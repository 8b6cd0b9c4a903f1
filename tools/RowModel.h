#pragma once

#include <QAbstractTableModel>
#include <QModelIndexList>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class COdbcConnection;

// Rows of a result, kept compactly: each row is one record in a large block, the end offsets of
// its values followed by their bytes, so a loaded row costs its text and a few bytes more.
class CRowStore
{
public:
    // Reads the current row's values 1..columns from the connection, as the export reads them.
    void AddRow(COdbcConnection& connection, int columns);
    // Takes over every row of other, which is left empty.
    void Append(CRowStore& other);
    std::size_t Rows() const { return m_rows.size(); }
    // A value's bytes, or nullptr for NULL.
    const char* Value(std::size_t row, int column, int columns, std::size_t& size) const;
    // Bytes held for rows, row index included.
    std::size_t Bytes() const;
    void Clear();

private:
    char* Allocate(std::size_t size);

    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::vector<std::size_t> m_blockSizes;
    std::size_t m_nUsed = 0;
    std::vector<const char*> m_rows;
    std::string m_scratch;
};

// The grid's rows: those fetched so far, grown by the data window as the view asks for more.
class CRowModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit CRowModel(QObject* parent = nullptr);

    // A new result: its column names and whether each holds numbers; no rows yet, and none to
    // follow with atEnd.
    void Reset(const std::vector<std::string>& names, const std::vector<bool>& numeric,
               bool atEnd = false);
    // Appends rows read elsewhere; atEnd tells that the result has no more.
    void AppendRows(CRowStore& rows, bool atEnd);
    bool AtEnd() const { return m_bAtEnd; }
    std::size_t LoadedRows() const { return m_store.Rows(); }
    std::size_t LoadedBytes() const { return m_store.Bytes(); }
    // The value as text, "" for NULL (isNull tells which).
    std::string Text(std::size_t row, int column, bool* isNull = nullptr) const;

    // The selected cells as tab-separated lines under a line of their column names, NULL as an
    // empty field. A field holding a tab, a line break or a quote is quoted as in CSV.
    std::string CopyText(const QModelIndexList& selection) const;
    // Every loaded row as CSV (RFC 4180: comma, CR LF, quotes where needed) under a header line,
    // handed to put in pieces; false when put took one not.
    bool WriteCsv(const std::function<bool(const std::string&)>& put) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    // How many rows a fetch brings while the user scrolls.
    static constexpr int kBatchRows = 1000;

signals:
    // The view wants more rows; the window reads them and hands them to AppendRows.
    void MoreWanted();

private:
    std::vector<std::string> m_names;
    std::vector<bool> m_numeric;
    CRowStore m_store;
    bool m_bAtEnd = true;
    bool m_bAsked = false;
};
