#pragma once

#include <QAbstractTableModel>
#include <QSqlDatabase>
#include <QStringList>
#include <QVariant>

#include <array>
#include <vector>

// The pages of one stored crawl, one row per address in the order its fetch
// started, with the columns of the pages CSV. The crawl stores rows as their
// fetches end (with several connections, not quite in the order they
// started); fetchNew() reads only the rows stored since the last call, a
// bounded batch at a time, and puts each in its place, so a window that
// follows a long crawl never reloads it.
class AuditPagesModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int ColumnCount = 15;
    enum Column { Url, Status, RedirectHops, FinalUrl, ContentType, Bytes, ResponseMs, Depth, Title, Description,
                  H1Count, Canonical, Robots, Indexable, ContentSha256 };
    // The CSV's column names, which are also the store's.
    static QStringList columnNames();

    explicit AuditPagesModel(QObject* parent = nullptr);

    // Empties the model and follows another crawl (0: none).
    void setCrawl(qint64 crawlId);
    qint64 crawlId() const { return m_crawlId; }
    // Appends up to maxRows rows stored after the last one read; the number
    // appended, or -1 when the store could not be read (lastError() says why).
    int fetchNew(const QSqlDatabase& db, int maxRows);
    QString lastError() const { return m_error; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The cell as the CSV writes it.
    QString text(int row, int column) const;

private:
    struct Row
    {
        qint64 seq = 0;
        std::array<QVariant, ColumnCount> cells;
    };
    std::vector<Row> m_rows;
    qint64 m_crawlId = 0;
    qint64 m_lastRowId = 0; // the store's own insertion order
    QString m_error;
};
