#pragma once

#include "ReportWriter.h"
#include "settings/SettingsLink.h"

#include <QWidget>

#include <functional>

class ProgramSettings;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QToolButton;

// The "Reports" page: the report options, the saved-report list and the
// preview. It writes the page of the run's current Project on request.
class TReportsPage : public QWidget
{
    Q_OBJECT

public:
    explicit TReportsPage(QWidget* parent = nullptr);

    // Start-up: where the program and its reports live, and the home address.
    void setProgramDir(const QString& programDir, const QString& homeAddress);
    // Where the run's current Project and the checked engine rows come from.
    void setContentSource(std::function<ReportContent()> source) { m_source = std::move(source); }

    // Section "Reports" of the settings file into the controls.
    void readSettings(const ProgramSettings& settings);
    // The program's settings object; without one the page keeps its own.
    void setSettings(ProgramSettings* settings) { m_settings.setShared(settings); }
    ReportSettings settings() const;
    QString reportsDir() const;

    // The automatic report at the end of a Project: returns the file written.
    QString writeAutomaticReport(const ReportContent& content, const QDate& date, const QLocale& locale);
    // "Generate"/"Preview": writes sample2.htm and opens it.
    QString writePreview();
    void refreshList();

    QCheckBox* GenReportCk = nullptr;
    QLabel* Label12 = nullptr;
    QCheckBox* HeaderCk = nullptr;
    QLineEdit* Header = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QCheckBox* FooterCk = nullptr;
    QLineEdit* Footer = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QCheckBox* TitleRepCk = nullptr;
    QLineEdit* TitleRep = nullptr;
    QPushButton* Button13 = nullptr; // Generate
    QPushButton* Button14 = nullptr; // Apply
    QListWidget* FileListBox1 = nullptr;
    QMenu* PopupMenu2 = nullptr;

signals:
    // Asks the main window to bring this page to the front.
    void showRequested();

public slots:
    void Button13Click();
    void Button14Click();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void GenReportCkClick();
    void ViewReportClick();
    void DeleteReportClick();

private:
    QString writePage(const ReportContent& content, const QString& fileName);
    QString chooseDocument();
    QString selectedReport() const;

    QString m_programDir;
    QString m_homeAddress;
    std::function<ReportContent()> m_source;
    SettingsLink m_settings;
};
