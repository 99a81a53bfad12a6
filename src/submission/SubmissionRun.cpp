#include "SubmissionRun.h"

#include "AutoSubmitEnginesPage.h"
#include "CategoryMap.h"
#include "EngineLine.h"
#include "EngineModel.h"
#include "EngineType.h"
#include "IndexNowRequest.h"
#include "LiveSubmitter.h"
#include "ReportWriter.h"
#include "RequestComposer.h"
#include "TReportsPage.h"
#include "net/DescriptorLimit.h"
#include "projects/ProjectFile.h"
#include "projects/ProjectListModel.h"
#include "ui/Dialogs.h"
#include "ui/ErrorReport.h"
#include "ui/EventPacer.h"
#include "settings/ProgramPaths.h"
#include "ui/ProgressWindow.h"
#include "ui/TCLEDLabel.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QTimer>

namespace {

const int kSubmitButtonMode = 4;
const int kProjectListMode = 6;
// Descriptors left for files, pipes and the window system while a run holds
// one socket per request.
const int kReservedDescriptors = 32;

} // namespace

SubmissionRun::SubmissionRun(AutoSubmitEnginesPage* engines, ProjectListModel* projects, LiveSubmitter* live,
                             TReportsPage* reports, QObject* parent)
    : QObject(parent), m_engines(engines), m_projects(projects), m_live(live), m_reports(reports),
      m_ports([] { return 10; }), m_timeout([] { return 40; })
{
    setProgramDir(m_programDir);
    connect(m_live, &LiveSubmitter::requestFinished, this, &SubmissionRun::requestFinished);
    m_live->setTimeoutSource([this] { return m_timeout(); });
    connect(m_live, &LiveSubmitter::countsChanged, this, [this](int ok, int failed, int timedOut) {
        m_engines->CLEDLabel2->setValue(ok);
        m_engines->CLEDLabel3->setValue(failed);
        m_engines->CLEDLabel4->setValue(timedOut);
    });
}

void SubmissionRun::setProgramDir(const QString& programDir)
{
    m_programDir = programDir;
    m_categories = CategoryMap(programPath(m_programDir, QStringLiteral("\\data\\catagory.ist")));
}

void SubmissionRun::setRunSettings(std::function<int()> ports, std::function<int()> timeout)
{
    m_ports = std::move(ports);
    m_timeout = std::move(timeout);
}

QString SubmissionRun::projectFile(const QString& name) const
{
    // Empty for a name that could reach outside the session folder: such a
    // Project reads as one with every field empty.
    return ProjectFile::path(m_programDir, name);
}

bool SubmissionRun::generateReports() const
{
    return m_reports && m_reports->GenReportCk->isChecked();
}

void SubmissionRun::setButtons(bool submitEnabled, bool stopEnabled)
{
    m_engines->Button6->setEnabled(submitEnabled);
    m_engines->Button7->setEnabled(stopEnabled);
}

void SubmissionRun::Button6Click()
{
    if (m_building || m_mode == Mode::Running)
        return;
    if (m_mode == Mode::Stopping) {
        // The aborted requests are still ending: a new run would mix with them.
        Dialogs::warning(m_dialogParent, QStringLiteral("Submission Stopping"),
                         QStringLiteral("The last submission is still stopping.\n\rPlease wait until it has ended."));
        return;
    }
    startProject();
}

void SubmissionRun::startProject()
{
    // Leaves the run idle when this start goes no further (no Projects, or
    // none checked), also when it was meant to continue a run.
    auto abandon = [this] {
        if (m_mode != Mode::Idle) {
            m_mode = Mode::Idle;
            setButtons(true, false);
            m_live->timer5()->stop();
            emit flashStopRequested();
        }
    };

    // Step 1.
    if (m_projects->isEmpty()) {
        abandon();
        Dialogs::warning(m_dialogParent, QStringLiteral("No Project Selected"),
                         QStringLiteral("You have no saved Projects to Submit!\n\r"
                                        "Please go back and save your project before submitting"));
        emit showEditorRequested();
        return;
    }

    // Steps 2 to 6.
    m_building = true;
    {
        ProgressWindow progress(QStringLiteral("Please wait while Building Submission List"), m_dialogParent);
        progress.show();
        m_queue.clear();
        m_runProjects.clear();
        m_live->resetCounters();
        ResetEngineResults();
        progress.setWindowTitle(QStringLiteral("Please Wait While Submission Builds Data"));
        EngineModel* model = m_engines->model();
        const int rows = model->count();
        progress.setMaximum(rows);
        // The window shows the row reached and the last entry taken each time
        // events run: it is painted only then, and sizing its labels and
        // moving its gauge for every row cost more than building the queue.
        int position = 0;
        int shown = -1;
        QString shownName;
        EventPacer pacer(m_eventIntervalMs, [&] {
            progress.setPosition(position);
            if (shown >= 0)
                progress.showItem(shownName, shown);
        });
        for (int i = 0; i < rows && i < model->count(); ++i) {
            position = i;
            if (!model->isChecked(i))
                continue;
            m_queue.append({model->engineName(i), i});
            shownName = m_queue.last().engine;
            shown = i;
            pacer.tick();
        }
        progress.setPosition(position);
    }
    m_building = false;

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
        emit flashRequested(kProjectListMode);
        Dialogs::warning(m_dialogParent, QStringLiteral("No Project Selected"),
                         QStringLiteral("There is no project selected to submit!\n\r"
                                        "Checking the box beside the Project Name will allow you to submit.\n\r"
                                        "\n\r"
                                        "Hint: Select One of the Flashing Projects"));
        return;
    }

    // Step 9.
    setButtons(false, true);
    m_mode = Mode::Running;
    emit flashRequested(kSubmitButtonMode);
    m_live->timer5()->start();
    m_runProject = RunProject::read(projectFile(m_runProjects.first()), m_runProjects.first());
    m_requestValues = RequestValues(m_runProject);
    m_live->setTimeoutTick(m_timeout());
    m_inFlightCount = 0;
    // Nothing of this run is in flight now: what is free is what its sockets may take.
    m_socketCap = socketBudget(kReservedDescriptors);
    PumpSubmissions();
}

void SubmissionRun::PumpSubmissions()
{
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

void SubmissionRun::SubmitNextEngine()
{
    if (m_mode == Mode::Running && !m_queue.isEmpty()) {
        const QueueEntry entry = m_queue.first();
        const EngineLine line = EngineLine::fromValue(entry.engine, m_engines->database().lookup(entry.engine));
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
            // A report that cannot be written is said and the run goes on.
            if (generateReports())
                runCommand(m_dialogParent, [this] { writeReport(); });
            startProject();
            return;
        }
        if (m_live->inFlightTableSize() == 0)
            finishRun(QStringLiteral("Your Submission is Complete"), QStringLiteral("Submission Complete"));
        return;
    }

    if (m_mode == Mode::Stopping && m_live->inFlightTableSize() == 0) {
        finishRun(QStringLiteral("Your Submission has been stopped"), QStringLiteral("Submission Stopped"));
        QCoreApplication::processEvents();
    }
}

void SubmissionRun::finishRun(const QString& text, const QString& caption)
{
    m_mode = Mode::Idle;
    setButtons(true, false);
    // The run still ends normally, with its message, when the report cannot
    // be written; the error box says why.
    if (generateReports())
        runCommand(m_dialogParent, [this] { writeReport(); });
    if (m_reports)
        m_reports->refreshList();
    m_live->timer5()->stop();
    emit flashStopRequested();
    Dialogs::notice(m_dialogParent, caption, text);
}

void SubmissionRun::Button7Click()
{
    m_engines->Button7->setEnabled(false);
    m_engines->Button6->setEnabled(true);
    m_live->timer5()->stop();
    if (m_mode != Mode::Running)
        return;
    m_mode = Mode::Stopping;
    m_live->StopAllRequests();
    // Nothing was running (Ports below 1, say): the run ends at once.
    if (m_inFlightCount == 0 && !m_building)
        PumpSubmissions();
}

void SubmissionRun::requestFinished()
{
    --m_inFlightCount;
    PumpSubmissions();
}

void SubmissionRun::ResetEngineResults()
{
    EngineModel* model = m_engines->model();
    EventPacer pacer(m_eventIntervalMs);
    for (int row = 0; row < model->count(); ++row) {
        model->clearResult(row);
        pacer.tick();
    }
}

ReportContent SubmissionRun::reportContent() const
{
    ReportContent content;
    content.projectName = m_runProject.name();
    content.projectUrl = m_runProject.value(QStringLiteral("url"));
    const EngineModel* model = m_engines->model();
    for (int row = 0; row < model->count(); ++row) {
        if (!model->isChecked(row))
            continue;
        const EngineRow& r = model->row(row);
        content.rows.append({r.name, r.siteUrl, r.result, r.date, r.type});
    }
    return content;
}

void SubmissionRun::writeReport()
{
    m_reports->writeAutomaticReport(reportContent(), QDate::currentDate(), QLocale::system());
}
