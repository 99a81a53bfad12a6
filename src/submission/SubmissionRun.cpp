#include "SubmissionRun.h"

#include "AutoSubmitEnginesPage.h"
#include "EngineModel.h"
#include "TReportsPage.h"
#include "ui/Dialogs.h"
#include "ui/ErrorReport.h"
#include "ui/ProgressWindow.h"
#include "ui/TCLEDLabel.h"

#include <QCheckBox>
#include <QPushButton>

namespace {

const int kSubmitButtonMode = 4;
const int kProjectListMode = 6;

} // namespace

SubmissionRun::SubmissionRun(AutoSubmitEnginesPage* engines, ProjectListModel* projects, LiveSubmitter* live,
                             TReportsPage* reports, QObject* parent)
    : QObject(parent), m_engines(engines), m_reports(reports),
      m_controller(engines->model(), &engines->database(), projects, live)
{
    SubmissionController* c = &m_controller;
    c->setReportsEnabled([this] { return m_reports && m_reports->GenReportCk->isChecked(); });
    connect(c, &SubmissionController::countsChanged, this, [this](int ok, int failed, int timedOut) {
        m_engines->CLEDLabel2->setValue(ok);
        m_engines->CLEDLabel3->setValue(failed);
        m_engines->CLEDLabel4->setValue(timedOut);
    });
    connect(c, &SubmissionController::buttonsChanged, this, &SubmissionRun::setButtons);
    connect(c, &SubmissionController::submitRefusedWhileStopping, this, [this] {
        Dialogs::warning(m_dialogParent, QStringLiteral("Submission Stopping"),
                         QStringLiteral("The last submission is still stopping.\n\rPlease wait until it has ended."));
    });
    connect(c, &SubmissionController::noProjects, this, [this] {
        Dialogs::warning(m_dialogParent, QStringLiteral("No Project Selected"),
                         QStringLiteral("You have no saved Projects to Submit!\n\r"
                                        "Please go back and save your project before submitting"));
        emit showEditorRequested();
    });
    connect(c, &SubmissionController::noProjectChecked, this, [this] {
        emit flashRequested(kProjectListMode);
        Dialogs::warning(m_dialogParent, QStringLiteral("No Project Selected"),
                         QStringLiteral("There is no project selected to submit!\n\r"
                                        "Checking the box beside the Project Name will allow you to submit.\n\r"
                                        "\n\r"
                                        "Hint: Select One of the Flashing Projects"));
    });
    connect(c, &SubmissionController::buildStarted, this, [this](int rows) {
        delete m_progress;
        m_progress = new ProgressWindow(QStringLiteral("Please wait while Building Submission List"), m_dialogParent);
        m_progress->show();
        m_progress->setWindowTitle(QStringLiteral("Please Wait While Submission Builds Data"));
        m_progress->setMaximum(rows);
    });
    connect(c, &SubmissionController::buildProgress, this, &SubmissionRun::showBuildProgress);
    connect(c, &SubmissionController::buildFinished, this, [this] { delete m_progress; });
    connect(c, &SubmissionController::runStarted, this, [this] { emit flashRequested(kSubmitButtonMode); });
    connect(c, &SubmissionController::runEnded, this, &SubmissionRun::flashStopRequested);
    connect(c, &SubmissionController::reportDue, this, &SubmissionRun::writeReportOf);
    connect(c, &SubmissionController::finished, this, &SubmissionRun::showEnd);
}

SubmissionRun::~SubmissionRun()
{
    delete m_progress;
}

void SubmissionRun::Button6Click()
{
    if (m_engines->listBusy()) {
        Dialogs::warning(m_dialogParent, QStringLiteral("Engine List Busy"),
                         QStringLiteral("A submission cannot start while the engine list is being updated."));
        return;
    }
    m_controller.submit();
}

void SubmissionRun::setButtons(bool submitEnabled, bool stopEnabled)
{
    m_engines->Button6->setEnabled(submitEnabled);
    m_engines->Button7->setEnabled(stopEnabled);
}

void SubmissionRun::showBuildProgress(int position, const QString& engine, int row)
{
    // The window shows the row reached and the last entry taken each time
    // events run: it is painted only then.
    if (!m_progress)
        return;
    m_progress->setPosition(position);
    if (row >= 0)
        m_progress->showItem(engine, row);
}

void SubmissionRun::writeReportOf(const ReportContent& content)
{
    // A report that cannot be written is said and the run goes on, or ends
    // normally with its message.
    if (m_reports)
        runCommand(m_dialogParent, [&] {
            m_reports->writeAutomaticReport(content, QDate::currentDate(), QLocale::system());
        });
}

void SubmissionRun::showEnd(bool stopped)
{
    if (m_reports)
        m_reports->refreshList();
    if (stopped)
        Dialogs::notice(m_dialogParent, QStringLiteral("Submission Stopped"),
                        QStringLiteral("Your Submission has been stopped"));
    else
        Dialogs::notice(m_dialogParent, QStringLiteral("Submission Complete"),
                        QStringLiteral("Your Submission is Complete"));
}

void SubmissionRun::writeReport()
{
    m_reports->writeAutomaticReport(reportContent(), QDate::currentDate(), QLocale::system());
}
