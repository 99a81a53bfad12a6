#pragma once

#include "CategoryMap.h"
#include "ReportWriter.h"
#include "RequestComposer.h"
#include "RunProject.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class AutoSubmitEnginesPage;
class LiveSubmitter;
class ProjectListModel;
class TReportsPage;
class QWidget;

// The run: from a click on "Submit" until every checked Project has been
// sent to every checked engine, Project after Project, or until "Stop".
class SubmissionRun : public QObject
{
    Q_OBJECT

public:
    enum class Mode { Idle, Running, Stopping };

    struct QueueEntry
    {
        QString engine;
        int row = -1;
    };

    SubmissionRun(AutoSubmitEnginesPage* engines, ProjectListModel* projects, LiveSubmitter* live,
                  TReportsPage* reports, QObject* parent = nullptr);

    void setProgramDir(const QString& programDir);
    // Ports and Timeout as the program holds them now; read afresh each time.
    void setRunSettings(std::function<int()> ports, std::function<int()> timeout);
    void setDialogParent(QWidget* parent) { m_dialogParent = parent; }
    // How often the long loops (building the list, clearing the results) let
    // window events run, in milliseconds; 0 runs them after every item.
    void setEventInterval(int ms) { m_eventIntervalMs = ms; }

    Mode mode() const { return m_mode; }
    // A run is active or still stopping: engines are not to be deleted or reloaded.
    bool busy() const { return m_mode != Mode::Idle || m_building; }

    const QList<QueueEntry>& submitQueue() const { return m_queue; }
    const QStringList& runProjects() const { return m_runProjects; }
    const RunProject& runProject() const { return m_runProject; }
    int inFlightCount() const { return m_inFlightCount; }

    // The current Project and the checked engine rows as they stand now.
    ReportContent reportContent() const;
    void writeReport();

public slots:
    void Button6Click();
    void Button7Click();
    void PumpSubmissions();
    void ResetEngineResults();

signals:
    void flashRequested(int mode);
    void flashStopRequested();
    void showEditorRequested();

private:
    void startProject();
    void SubmitNextEngine();
    void requestFinished();
    void finishRun(const QString& text, const QString& caption);
    void setButtons(bool submitEnabled, bool stopEnabled);
    bool generateReports() const;
    QString projectFile(const QString& name) const;

    AutoSubmitEnginesPage* m_engines;
    ProjectListModel* m_projects;
    LiveSubmitter* m_live;
    TReportsPage* m_reports;
    QPointer<QWidget> m_dialogParent;
    QString m_programDir;
    std::function<int()> m_ports;
    std::function<int()> m_timeout;

    Mode m_mode = Mode::Idle;
    bool m_building = false;
    QList<QueueEntry> m_queue;
    QStringList m_runProjects;
    RunProject m_runProject;
    // m_runProject's values as requests carry them.
    RequestValues m_requestValues;
    CategoryMap m_categories{QString()};
    int m_inFlightCount = 0;
    // Requests the descriptors allow at once, taken at each Project's start.
    int m_socketCap = 1;
    int m_eventIntervalMs = 15;
};
