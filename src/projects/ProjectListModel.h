#pragma once

#include <QAbstractListModel>
#include <QStringList>
#include <QVector>

// The project list: every Project's name with its check mark, sorted without
// regard to letter case, with at most one selected entry. Check marks are not
// stored; every entry starts unchecked.
class ProjectListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit ProjectListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int count() const { return static_cast<int>(m_entries.size()); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    QString name(int row) const;
    QStringList names() const;
    bool isChecked(int row) const;
    void setChecked(int row, bool checked);
    QStringList checkedNames() const;

    // Replaces every entry, in the order given, all unchecked, none selected.
    void setNames(const QStringList& names);
    // Adds an unchecked entry at its sorted place (after entries that compare
    // equal) and returns its row; the selected entry stays selected.
    int insertSorted(const QString& name);
    void removeAt(int row);

    // Exact matches, letter case included; -1 when there is none.
    int indexOfName(const QString& name) const;
    int indexOfCheckedName(const QString& name) const;

    int selectedRow() const { return m_selected; }
    QString selectedName() const { return name(m_selected); }
    // -1, or a row outside the list, clears the selection.
    void setSelectedRow(int row);

    static int compareNames(const QString& a, const QString& b);

signals:
    void selectedRowChanged(int row);

private:
    struct Entry
    {
        QString name;
        bool checked = false;
    };

    QVector<Entry> m_entries;
    int m_selected = -1;
    // Whether the entries are in sorted order (a hand-edited index may not
    // be); then an insertion finds its place by halving.
    bool m_sorted = true;
};
