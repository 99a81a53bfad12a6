#pragma once

#include "RankCheck.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class HistoryStore;
class HtmlCellDelegate;
class QLabel;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTableView;
class RankCheck;
class RankHistory;
class RankListModel;
class THttpCli;

// The "Ranking" page (TabSheet7): keyword, site address and depth, the rank
// engine list with its results, and the rank client HttpRank.
class TRankingPage : public QWidget
{
    Q_OBJECT

public:
    static constexpr const char* RankAgent = RankCheck::Agent;

    explicit TRankingPage(QWidget* parent = nullptr);
    ~TRankingPage() override;

    void setProgramDir(const QString& programDir) { m_programDir = programDir; }
    // The program's Timeout in seconds, read when a check starts: each page fetch that
    // receives nothing for that long ends as a failed page.
    void setTimeoutSource(std::function<int()> seconds) { m_timeoutSeconds = std::move(seconds); }
    RankListModel* model() const { return m_model; }
    bool isChecking() const { return !m_running.isNull(); }

    QComboBox* ComboBox1 = nullptr; // keyword; the doorway page refills its items
    QLineEdit* RankUrl = nullptr;
    QComboBox* ComboBox2 = nullptr; // "Check Ranking in Top"
    QPushButton* Button8 = nullptr; // "Rank"
    QPushButton* Button9 = nullptr; // "Cancel" / "Reset"
    QPushButton* HistoryButton = nullptr; // "History": the Rank History window
    QTableView* RankView = nullptr;
    THttpCli* HttpRank = nullptr;

public slots:
    // Empties RankView and fills it from data\ranking.ist, one checked row per line.
    void loadRankList();
    void setRankUrl(const QString& url);
    void Button8Click();
    void Button9Click();
    // Menu Ranking > "Reset List".
    void Label15Click();

signals:
    // The check is over or cancelled: the main window's attention flasher stops.
    void flashStopRequested();
    // "History": show the stored checks of this keyword and address.
    void historyRequested(const QString& keyword, const QString& url);
    // A row's result has been stored in the rank history.
    void rankStored();

private:
    QString rankListPath() const;
    void openListing(const QString& address);
    // Ends a running check without touching the rows.
    void endRunningCheck();
    // The rank history, opened on first use; null (and said below the list)
    // when the store cannot be used, and the check goes on without it.
    RankHistory* rankHistory();

    QString m_programDir;
    std::function<int()> m_timeoutSeconds;
    RankListModel* m_model = nullptr;
    HtmlCellDelegate* m_resultDelegate = nullptr;
    QPointer<RankCheck> m_running;
    QLabel* m_historyStatus = nullptr;
    std::unique_ptr<HistoryStore> m_store;
    std::unique_ptr<RankHistory> m_history;
};
