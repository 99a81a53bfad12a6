#pragma once

#include <QAbstractTableModel>
#include <QChar>
#include <QStringList>
#include <QVector>

// The rows of the "Manual Engines" view: a caption and its sub-items per row.
// Columns "Engines", "Home Page", "Submit Here", and unnamed ones beyond them
// when a row has more fields. Holds the delimiter of datam.ist once known.
class ManualEngineModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int NamedColumns = 3;

    explicit ManualEngineModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Stable, letter case ignored, locale-aware; rows without that cell sort as empty.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    int count() const { return static_cast<int>(m_rows.size()); }
    const QVector<QStringList>& rows() const { return m_rows; }
    void appendRows(const QVector<QStringList>& rows);
    void removeEngine(int row);
    void clear();

    // Null until the first read detects it; kept until the program ends.
    QChar delimiter() const { return m_delimiter; }
    void setDelimiter(QChar delimiter) { m_delimiter = delimiter; }

    // The rows as datam.ist lines by the writing rule.
    QStringList toLines() const;

private:
    QVector<QStringList> m_rows;
    int m_columns = NamedColumns;
    QChar m_delimiter;
};
