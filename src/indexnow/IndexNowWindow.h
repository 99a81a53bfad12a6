#pragma once

#include "history/HistoryStore.h"
#include "settings/SettingsLink.h"

#include <QWidget>

#include <memory>

class IndexNowSubmitter;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStandardItemModel;
class QTableView;

// "IndexNow": sends the current Project's pages to the IndexNow engines of
// the engine database and shows the ledger of every submission, filtered by
// engine, address and result, with a CSV export.
class IndexNowWindow : public QWidget
{
    Q_OBJECT

public:
    // The ledger view shows this many of the newest matching rows; the
    // export writes all of them.
    static constexpr int ShownRows = 5000;

    explicit IndexNowWindow(const QString& programDir, QWidget* parent = nullptr);
    ~IndexNowWindow() override;
    // The program's settings object; without one the window keeps its own.
    void setSettings(ProgramSettings* settings) { m_settings.setShared(settings); }

    static QString caption() { return QStringLiteral("IndexNow"); }

    // The Project the window sends (the one the editor holds, saved).
    void setProject(const QString& name);
    QString project() const { return m_project; }
    // Re-reads the engine list and the ledger.
    void reload();

    QComboBox* Source = nullptr;
    QLineEdit* ListFile = nullptr;
    QCheckBox* ChangedOnly = nullptr;
    QListWidget* Engines = nullptr;
    QPushButton* SubmitButton = nullptr;
    QLabel* Progress = nullptr;
    QComboBox* EngineFilter = nullptr;
    QLineEdit* AddressFilter = nullptr;
    QComboBox* ResultFilter = nullptr;
    QTableView* Ledger = nullptr;
    QPushButton* ExportButton = nullptr;
    QStandardItemModel* LedgerModel = nullptr;

signals:
    // A finished submission: how many POSTs and whether all were accepted.
    void submitted(bool allAccepted);

private:
    void submit();
    void reloadLedger();
    void exportCsv();
    void chooseList();
    void setRunning(bool running);
    void showMessage(const QString& text);

    QString m_programDir;
    SettingsLink m_settings;
    QString m_project;
    HistoryStore m_store;
    bool m_storeOpen = false;
    IndexNowSubmitter* m_submitter = nullptr;
    QLabel* m_projectLabel = nullptr;
    QPushButton* m_browse = nullptr;
    int m_answers = 0;
};
