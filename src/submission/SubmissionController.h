#pragma once

#include "CategoryMap.h"
#include "LiveSubmitter.h"
#include "ReportWriter.h"
#include "RequestComposer.h"
#include "RunProject.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class EngineDatabase;
class ProjectListModel;
class QTimer;
class RunEngineRows;

// The run without a window: from "Submit" until every checked Project has
// been sent to every checked engine, Project after Project, or until "Stop".
// It plans the queue, composes and pumps the requests through the live
// submitter, moves from Project to Project and says what happened through
// signals; it asks nobody anything. The Submit page and vantor-cli bind to it.
class SubmissionController : public QObject
{
    Q_OBJECT

public:
    enum class Mode { Idle, Running, Stopping };

    struct QueueEntry
    {
        QString engine;
        int row = -1;
    };

    SubmissionController(RunEngineRows* engines, const EngineDatabase* database, ProjectListModel* projects,
                         LiveSubmitter* live, QObject* parent = nullptr);

    void setProgramDir(const QString& programDir);
    // Ports and Timeout as the program holds them now; read afresh each time.
    void setRunSettings(std::function<int()> ports, std::function<int()> timeout);
    // Whether a Project's end is to write its report ("Generate Reports").
    void setReportsEnabled(std::function<bool()> enabled) { m_reportsEnabled = std::move(enabled); }
    // How long one unit of the list building runs before it returns to the
    // event loop, in milliseconds; 0 returns after every entry taken.
    void setEventInterval(int ms) { m_eventIntervalMs = ms; }

    Mode mode() const { return m_mode; }
    // A run is active, stopping or building its list.
    bool busy() const { return m_mode != Mode::Idle || m_building; }
    bool building() const { return m_building; }

    const QList<QueueEntry>& submitQueue() const { return m_queue; }
    const QStringList& runProjects() const { return m_runProjects; }
    const RunProject& runProject() const { return m_runProject; }
    int inFlightCount() const { return m_inFlightCount; }
    LiveSubmitter* live() const { return m_live; }

    // The current Project and the checked engine rows as they stand now.
    ReportContent reportContent() const;

public slots:
    // "Submit": starts a run (also the next Project of a run).
    void submit();
    // "Stop".
    void stop();
    void PumpSubmissions();
    // Empties the result cells and images of every row.
    void ResetEngineResults();

signals:
    void buttonsChanged(bool submitEnabled, bool stopEnabled);
    // "Submit" while the last run's aborted requests are still ending.
    void submitRefusedWhileStopping();
    // There is no Project at all, or none is checked: the run does not start.
    void noProjects();
    void noProjectChecked();
    // The list of a Project is being built, in units that return to the event
    // loop: `rows` in all; the row reached and the last entry taken (row -1: none yet).
    void buildStarted(int rows);
    void buildProgress(int position, const QString& engine, int row);
    void buildFinished();
    // A run has begun, or has ended (also one abandoned at a Project's start).
    void runStarted();
    void runEnded();
    // A Project has ended and "Generate Reports" is on: its report is due now,
    // from the rows as they stand.
    void reportDue(const ReportContent& content);
    // The run has ended: completed, or stopped.
    void finished(bool stopped);
    void countsChanged(int ok, int failed, int timedOut);
    // An engine row's request has ended, in finishing order.
    void rowFinished(int row, int code, const QString& text, ResultClass resultClass);

private:
    void startProject();
    void buildUnit();
    void afterBuild();
    void SubmitNextEngine();
    void requestFinished();
    void abandon();
    void finishRun(bool stopped);
    QString projectFile(const QString& name) const;

    RunEngineRows* m_engines;
    const EngineDatabase* m_database;
    ProjectListModel* m_projects;
    LiveSubmitter* m_live;
    QString m_programDir;
    std::function<int()> m_ports;
    std::function<int()> m_timeout;
    std::function<bool()> m_reportsEnabled;

    Mode m_mode = Mode::Idle;
    bool m_building = false;
    // The list building's place: the next row, the rows in all.
    int m_buildNext = 0;
    int m_buildRows = 0;
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
    // Runs the next unit of the list building from the event loop.
    QTimer* m_buildTimer;
};
