#pragma once

#include <QWidget>

#include <functional>

class EngineListView;
class ManualEngineModel;
class QAction;
class QMenu;
class TCLEDLabel;

// The "Manual Engines" tab: the view AdvListView1 over the manual engine
// model, sorted by a click on a column header, and its count ManLED.
class ManualEnginesPage : public QWidget
{
    Q_OBJECT

public:
    explicit ManualEnginesPage(QWidget* parent = nullptr);

    void setProgramDir(const QString& programDir) { m_programDir = programDir; }
    QString dataFilePath() const;
    ManualEngineModel* model() const { return m_model; }

    void setRunBusyQuery(std::function<bool()> query) { m_runBusy = std::move(query); }

    // Appends the rows of datam.ist to the view and shows the count. Throws
    // "File cannot be opened" when it cannot be read; the view stays as it was.
    void LoadManualEngines();
    // Empties the view (a database update does this before reloading).
    void ClearManualEngines();
    // Writes the view to datam.ist by the writing rule.
    void SaveManualEngines();
    void DeleteEngine1Click();
    void AdvListView1ColumnClick(int column);

    EngineListView* AdvListView1 = nullptr;
    TCLEDLabel* ManLED = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* DeleteEngine1 = nullptr;

private:
    QString m_programDir;
    ManualEngineModel* m_model = nullptr;
    std::function<bool()> m_runBusy;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
