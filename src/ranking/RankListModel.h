#pragma once

#include "RankResult.h"
#include "submission/RowImage.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

#include <functional>

// The rows of RankView, one per rank engine: caption, check mark, the result
// cell (a short HTML text the view renders), the date cell and the row icon.
// The check works on this model, so it runs without a window; the window
// supplies the pictures (row icon, change arrow) through setDecorations().
class RankListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { EnginesColumn, ResultColumn, DateColumn, ColumnCount };

    struct Row
    {
        QString caption;
        QString result;
        QString date;
        RowImage image = RowImage::None;
        bool checked = true;
        // Against the engine's previous stored check; shown beside the result
        // as a picture, the previous result in the result cell's tooltip.
        RankChange change = RankChange::None;
        QString changeTip;
    };

    // The picture for a cell of a row, or an invalid QVariant for none.
    using Decorations = std::function<QVariant(const Row& row, int column)>;

    explicit RankListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // One checked row per line, captioned with the text before the line's first "|".
    void setLines(const QStringList& lines);

    int count() const { return static_cast<int>(m_rows.size()); }
    bool isValidRow(int row) const { return row >= 0 && row < m_rows.size(); }
    const Row& row(int row) const { return m_rows.at(row); }
    bool isChecked(int row) const { return m_rows.at(row).checked; }
    void setChecked(int row, bool checked);

    void setResult(int row, const QString& html);
    void setDate(int row, const QString& text);
    void setRowImage(int row, RowImage image);
    void setChange(int row, RankChange change, const QString& tip);
    void setDecorations(Decorations decorations) { m_decorations = std::move(decorations); }
    // Empties every row's cells and removes its icon; with checkAll, checks every row too.
    void resetRows(bool checkAll);

private:
    void changed(int row, int firstColumn, int lastColumn, const QList<int>& roles);

    QVector<Row> m_rows;
    Decorations m_decorations;
};
