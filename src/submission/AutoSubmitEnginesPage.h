#pragma once

#include "EngineDatabase.h"
#include "EngineFilter.h"

#include <QWidget>

#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class EngineDatabaseLoader;
class EngineListView;
class EngineModel;
class QAction;
class QCheckBox;
class QMenu;
class QPushButton;
class QTimer;
class TCLEDLabel;

// The "Auto Submit Engines" tab: the engine view AdvListView2 over the
// engine model, the type filter boxes, "Submit"/"Stop" and the four
// counters. Owns the EngineDatabase the view is built from.
class AutoSubmitEnginesPage : public QWidget
{
    Q_OBJECT

public:
    explicit AutoSubmitEnginesPage(QWidget* parent = nullptr);
    ~AutoSubmitEnginesPage() override;

    void setProgramDir(const QString& programDir) { m_programDir = programDir; }
    QString dataFilePath() const;

    EngineDatabase& database() { return m_database; }
    const EngineDatabase& database() const { return m_database; }
    EngineModel* model() const { return m_model; }

    // The run tells the page whether a submission is active or stopping;
    // deleting engines and reloading are refused while it is.
    void setRunBusyQuery(std::function<bool()> query) { m_runBusy = std::move(query); }
    bool runBusy() const { return m_runBusy && m_runBusy(); }
    // A load is running (until its filter passes are done): deleting engines
    // and starting a submission are refused meanwhile.
    bool listBusy() const { return m_load != nullptr; }

    // Starts filling the database from data.ist and rebuilding the view, in
    // units of work between events; at the end the marks are set by type and
    // databaseLoaded is emitted. Throws ListFileError when data.ist cannot be
    // opened; an error while reading later is shown. Either way the view
    // and database keep what they held. Returns false when refused (a run is
    // busy, or a load is running already).
    bool LoadEngineDatabase();
    // Runs `work` once no load is running: now, or when the running load
    // has ended, whether it loaded or failed. Dropped when `context` goes.
    void whenSettled(QObject* context, std::function<void()> work);
    void ApplyEngineFilter(EngineFilter::Scope scope);
    void RecountSelection();
    void DeleteEngine1Click();

    EngineFilter::Boxes boxes() const;

    EngineListView* AdvListView2 = nullptr;
    QCheckBox* BitCheckBox4 = nullptr; // "Search Engines"
    QCheckBox* BitCheckBox6 = nullptr; // "FFA/Classifieds"
    QCheckBox* BitCheckBox7 = nullptr; // "Batch Sites"
    QCheckBox* CustomCk = nullptr;     // "Custom Engines", hidden
    QCheckBox* BitCheckBox5 = nullptr; // "Classifieds", hidden
    QPushButton* Button6 = nullptr;    // "Submit", wired by the run
    QPushButton* Button7 = nullptr;    // "Stop", wired by the run
    TCLEDLabel* TotalDis = nullptr;
    TCLEDLabel* CLEDLabel2 = nullptr; // "OK"
    TCLEDLabel* CLEDLabel3 = nullptr; // "Failed"
    TCLEDLabel* CLEDLabel4 = nullptr; // "Time out"
    QMenu* PopupMenu2 = nullptr;
    QAction* DeleteEngine1 = nullptr;

signals:
    // A load has begun: the run's queue and project lists are to be emptied.
    void databaseLoading();
    void databaseLoaded();

public slots:
    void BitCheckBox4Click();
    void BitCheckBox5Click();
    void BitCheckBox6Click();
    void BitCheckBox7Click();
    void CustomCkClick();
    void AdvListView2CheckboxClick(int row);

private:
    struct Load;

    QWidget* createPanel();
    bool refuseWhileBusy();
    void loadUnit();
    bool readUnit(Load& load);
    bool rowsUnit(Load& load);
    void finishLoad();
    void endLoad();

    QString m_programDir;
    EngineDatabase m_database;
    EngineModel* m_model = nullptr;
    std::function<bool()> m_runBusy;
    std::unique_ptr<Load> m_load;
    QTimer* m_loadTimer = nullptr;
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> m_whenSettled;
};
