#include "SubmissionController.h"

#include "EngineDatabase.h"
#include "EngineLine.h"
#include "EngineType.h"
#include "IndexNowRequest.h"
#include "RunEngineRows.h"
#include "net/DescriptorLimit.h"
#include "projects/ProjectFile.h"
#include "projects/ProjectListModel.h"
#include "settings/ProgramPaths.h"

#include <QElapsedTimer>
#include <QTimer>

namespace {

// Descriptors left for files, pipes and the window system while a run holds
// one socket per request.
const int kReservedDescriptors = 32;
// Rows a unit of the list building clears without taking an entry before it
// looks at the clock.
const int kRowsBetweenClockLooks = 4096;

} // namespace

SubmissionController::SubmissionController(RunEngineRows* engines, const EngineDatabase* database,
                                           ProjectListModel* projects, LiveSubmitter* live, QObject* parent)
    : QObject(parent), m_engines(engines), m_database(database), m_projects(projects), m_live(live),
      m_ports([] { return 10; }), m_timeout([] { return 40; }), m_buildTimer(new QTimer(this))
{
    // A zero-interval timer, not a posted call: timers due before it (a
    // repaint, a progress look) run between two units.
    m_buildTimer->setSingleShot(true);
    m_buildTimer->setInterval(0);
    connect(m_buildTimer, &QTimer::timeout, this, &SubmissionController::buildUnit);
    setProgramDir(m_programDir);
    connect(m_live, &LiveSubmitter::requestFinished, this, &SubmissionController::requestFinished);
    connect(m_live, &LiveSubmitter::countsChanged, this, &SubmissionController::countsChanged);
    connect(m_live, &LiveSubmitter::rowFinished, this, &SubmissionController::rowFinished);
    m_live->setTimeoutSource([this] { return m_timeout(); });
}

void SubmissionController::setProgramDir(const QString& programDir)
{
    m_programDir = programDir;
    m_categories = CategoryMap(programPath(m_programDir, QStringLiteral("\\data\\catagory.ist")));
}

void SubmissionController::setRunSettings(std::function<int()> ports, std::function<int()> timeout)
{
    m_ports = std::move(ports);
    m_timeout = std::move(timeout);
}

QString SubmissionController::projectFile(const QString& name) const
{
    // Empty for a name that could reach outside the session folder: such a
    // Project reads as one with every field empty.
    return ProjectFile::path(m_programDir, name);
}

void SubmissionController::submit()
{
    if (m_building || m_mode == Mode::Running)
        return;
    if (m_mode == Mode::Stopping) {
        // The aborted requests are still ending: a new run would mix with them.
        emit submitRefusedWhileStopping();
        return;
    }
    startProject();
}

void SubmissionController::abandon()
{
    // Leaves the run idle when a start goes no further (no Projects, or none
    // checked), also when it was meant to continue a run.
    if (m_mode == Mode::Idle)
        return;
    m_mode = Mode::Idle;
    emit buttonsChanged(true, false);
    m_live->timer5()->stop();
    emit runEnded();
}

void SubmissionController::startProject()
{
    // Step 1.
    if (m_projects->isEmpty()) {
        abandon();
        emit noProjects();
        return;
    }

    // Steps 2 to 4; step 5 runs in units that return to the event loop.
    m_building = true;
    m_queue.clear();
    m_runProjects.clear();
    m_live->resetCounters();
    m_buildNext = 0;
    m_buildRows = m_engines->count();
    emit buildStarted(m_buildRows);
    buildUnit();
}

void SubmissionController::buildUnit()
{
    // Each row's result cells are emptied as it is reached, and checked rows
    // are queued. A unit ends after an entry taken once the interval has
    // passed, and the next one runs from the event loop.
    QElapsedTimer clock;
    clock.start();
    int sinceLook = 0;
    while (m_buildNext < m_buildRows && m_buildNext < m_engines->count()) {
        const int i = m_buildNext++;
        m_engines->clearResult(i);
        if (!m_engines->isChecked(i)) {
            if (++sinceLook < kRowsBetweenClockLooks || clock.elapsed() < qMax(m_eventIntervalMs, 1))
                continue;
            emit buildProgress(i, QString(), -1);
            m_buildTimer->start();
            return;
        }
        m_queue.append({m_engines->engineName(i), i});
        sinceLook = 0;
        if (clock.elapsed() >= m_eventIntervalMs) {
            emit buildProgress(i, m_queue.last().engine, i);
            m_buildTimer->start();
            return;
        }
    }
    // The rows not reached (the list shrank meanwhile) are cleared as well.
    for (int i = m_buildNext; i < m_engines->count(); ++i)
        m_engines->clearResult(i);
    const int last = qMax(0, qMin(m_buildNext, m_buildRows) - 1);
    emit buildProgress(last, m_queue.isEmpty() ? QString() : m_queue.last().engine,
                       m_queue.isEmpty() ? -1 : m_queue.last().row);
    m_building = false;
    emit buildFinished();
    afterBuild();
}

void SubmissionController::afterBuild()
{
    // Stop clicked while the list was built for the next Project.
    if (m_mode == Mode::Stopping) {
        m_queue.clear();
        PumpSubmissions();
        return;
    }

    // Step 7.
    m_runProjects = m_projects->checkedNames();

    // Step 8.
    if (m_runProjects.isEmpty()) {
        abandon();
        emit noProjectChecked();
        return;
    }

    // Step 9.
    emit buttonsChanged(false, true);
    m_mode = Mode::Running;
    emit runStarted();
    m_live->timer5()->start();
    m_runProject = RunProject::read(projectFile(m_runProjects.first()), m_runProjects.first());
    m_requestValues = RequestValues(m_runProject);
    m_live->setTimeoutTick(m_timeout());
    m_inFlightCount = 0;
    // Nothing of this run is in flight now: what is free is what its sockets may take.
    m_socketCap = socketBudget(kReservedDescriptors);
    PumpSubmissions();
}

void SubmissionController::PumpSubmissions()
{
    // The queue is incomplete while it is being built.
    if (m_building)
        return;
    const bool active = m_mode == Mode::Running;
    if (active && !m_queue.isEmpty()) {
        // Near a Project's end fewer start at once: with 3 left and 20 ports,
        // two start now and the third when one has finished.
        // A request beyond the descriptors would fail before reaching its
        // server; it waits in the queue instead.
        const int parallel = qMin(m_ports(), m_socketCap);
        while (m_mode == Mode::Running && !m_queue.isEmpty() && m_inFlightCount < parallel &&
               m_inFlightCount <= m_queue.size())
            SubmitNextEngine();
        return;
    }
    if (active && m_queue.isEmpty() && m_inFlightCount == 0) {
        SubmitNextEngine();
        return;
    }
    if (m_mode == Mode::Stopping && m_inFlightCount == 0)
        SubmitNextEngine();
}

void SubmissionController::SubmitNextEngine()
{
    if (m_mode == Mode::Running && !m_queue.isEmpty()) {
        const QueueEntry entry = m_queue.first();
        const EngineLine line = EngineLine::fromValue(entry.engine, m_database->lookup(entry.engine));
        if (engineKind(line.type()) == EngineKind::IndexNow) {
            m_queue.removeFirst();
            ++m_inFlightCount;
            // Without a key the endpoint can only refuse: nothing is sent.
            if (m_runProject.value(indexNowKeyName()).isEmpty()) {
                m_live->SettleWithoutRequest(entry.row, QStringLiteral("No IndexNow key"));
                return;
            }
            const ComposedRequest request = ComposeIndexNowRequest(line, m_runProject);
            m_live->StartEngineRequest(request.address, request.query, entry.row, request.post, request.referrer);
            return;
        }
        const ComposedRequest request = ComposeRequest(line, m_requestValues, m_categories);
        // Taking the entry, counting it and starting it belong together: a
        // request that ends in between sees them consistent.
        m_queue.removeFirst();
        ++m_inFlightCount;
        m_live->StartEngineRequest(request.address, request.query, entry.row, request.post, request.referrer);
        return;
    }

    if (m_mode == Mode::Running) {
        // Every request of the current Project has ended.
        const int row = m_projects->indexOfName(m_runProject.name());
        if (row >= 0)
            m_projects->setChecked(row, false);
        if (!m_runProjects.isEmpty())
            m_runProjects.removeFirst();
        if (!m_runProjects.isEmpty()) {
            if (m_reportsEnabled && m_reportsEnabled())
                emit reportDue(reportContent());
            startProject();
            return;
        }
        if (m_live->inFlightTableSize() == 0)
            finishRun(false);
        return;
    }

    if (m_mode == Mode::Stopping && m_live->inFlightTableSize() == 0)
        finishRun(true);
}

void SubmissionController::finishRun(bool stopped)
{
    m_mode = Mode::Idle;
    emit buttonsChanged(true, false);
    if (m_reportsEnabled && m_reportsEnabled())
        emit reportDue(reportContent());
    m_live->timer5()->stop();
    emit runEnded();
    emit finished(stopped);
}

void SubmissionController::stop()
{
    emit buttonsChanged(true, false);
    m_live->timer5()->stop();
    if (m_mode != Mode::Running)
        return;
    m_mode = Mode::Stopping;
    m_live->StopAllRequests();
    // Nothing was running (Ports below 1, say): the run ends at once.
    if (m_inFlightCount == 0 && !m_building)
        PumpSubmissions();
}

void SubmissionController::requestFinished()
{
    --m_inFlightCount;
    PumpSubmissions();
}

void SubmissionController::ResetEngineResults()
{
    for (int row = 0; row < m_engines->count(); ++row)
        m_engines->clearResult(row);
}

ReportContent SubmissionController::reportContent() const
{
    ReportContent content;
    content.projectName = m_runProject.name();
    content.projectUrl = m_runProject.value(QStringLiteral("url"));
    for (int row = 0; row < m_engines->count(); ++row) {
        if (!m_engines->isChecked(row))
            continue;
        const EngineRow& r = m_engines->row(row);
        content.rows.append({r.name, r.siteUrl, r.result, r.date, r.type});
    }
    return content;
}
