#pragma once

#include "SubmissionController.h"

#include <QObject>
#include <QPointer>

#include <functional>

class AutoSubmitEnginesPage;
class LiveSubmitter;
class ProgressWindow;
class ProjectListModel;
class TReportsPage;
class QWidget;

// The run as the window shows it: binds the run controller's signals to the
// Submit page's buttons and counters, the progress window, the report page
// and the message boxes.
class SubmissionRun : public QObject
{
    Q_OBJECT

public:
    using Mode = SubmissionController::Mode;
    using QueueEntry = SubmissionController::QueueEntry;

    SubmissionRun(AutoSubmitEnginesPage* engines, ProjectListModel* projects, LiveSubmitter* live,
                  TReportsPage* reports, QObject* parent = nullptr);
    ~SubmissionRun() override;

    void setProgramDir(const QString& programDir) { m_controller.setProgramDir(programDir); }
    // Ports and Timeout as the program holds them now; read afresh each time.
    void setRunSettings(std::function<int()> ports, std::function<int()> timeout)
    {
        m_controller.setRunSettings(std::move(ports), std::move(timeout));
    }
    void setDialogParent(QWidget* parent) { m_dialogParent = parent; }
    // How long one unit of building the list runs before window events run,
    // in milliseconds; 0 lets them run after every entry taken.
    void setEventInterval(int ms) { m_controller.setEventInterval(ms); }

    SubmissionController& controller() { return m_controller; }
    Mode mode() const { return m_controller.mode(); }
    // A run is active or still stopping: engines are not to be deleted or reloaded.
    bool busy() const { return m_controller.busy(); }

    const QList<QueueEntry>& submitQueue() const { return m_controller.submitQueue(); }
    const QStringList& runProjects() const { return m_controller.runProjects(); }
    const RunProject& runProject() const { return m_controller.runProject(); }
    int inFlightCount() const { return m_controller.inFlightCount(); }

    // The current Project and the checked engine rows as they stand now.
    ReportContent reportContent() const { return m_controller.reportContent(); }
    void writeReport();

public slots:
    // Refused while the engine list is being loaded: the run would queue rows the load replaces.
    void Button6Click();
    void Button7Click() { m_controller.stop(); }
    void PumpSubmissions() { m_controller.PumpSubmissions(); }
    void ResetEngineResults() { m_controller.ResetEngineResults(); }

signals:
    void flashRequested(int mode);
    void flashStopRequested();
    void showEditorRequested();

private:
    void setButtons(bool submitEnabled, bool stopEnabled);
    void showBuildProgress(int position, const QString& engine, int row);
    void writeReportOf(const ReportContent& content);
    void showEnd(bool stopped);

    AutoSubmitEnginesPage* m_engines;
    TReportsPage* m_reports;
    SubmissionController m_controller;
    QPointer<QWidget> m_dialogParent;
    // Open while the list is built; the dialog parent may take it down first.
    QPointer<ProgressWindow> m_progress;
};
