#pragma once

#include "settings/SettingsLink.h"

#include <QString>
#include <QWidget>

#include <QStringList>

#include <functional>
#include <optional>

class ProgramSettings;
class QFile;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class THttpCli;

// The "Database Update" window, kept on top: "Get Database" replaces the
// category map, the rank list and the two engine databases with fresh lists
// from the update service, one after the other; its log reports every step.
// The window's client always connects directly, never through the proxy.
class TUpdateBox : public QWidget
{
    Q_OBJECT

public:
    explicit TUpdateBox(QWidget* parent = nullptr);

    void setProgramDir(const QString& programDir) { m_programDir = programDir; }
    // The program's settings object; without one the window keeps its own.
    void setSettings(ProgramSettings* settings) { m_settings.setShared(settings); }
    // The number of auto-submit engines loaded, for the lines shown with the window.
    void setEngineCount(std::function<int()> count) { m_engineCount = std::move(count); }
    // The update service login (settings section "subscription") into its two fields.
    void setLogin(const QString& user, const QString& password);
    bool updating() const { return m_updating; }

    QLabel* InfoLabel = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QLineEdit* UpdateUser = nullptr;
    QLineEdit* UpdatePassword = nullptr;
    QPushButton* Button1 = nullptr;     // "Get Database"
    QPushButton* UpdateAbort = nullptr; // "Cancel"
    QPushButton* Button2 = nullptr;     // "Close"
    THttpCli* HttpCli2 = nullptr;

signals:
    // "Get Database" stored a changed login in dfd.ini.
    void loginStored(const QString& user, const QString& password);
    // A step stored its list: the main window reloads what shows it.
    void rankListChanged();
    void engineDatabaseChanged();
    void manualEnginesChanged();
    // After the engines and manual engines steps, whatever their outcome: the
    // engine filter with a scope that matches no type box.
    void engineFilterRequested();

public slots:
    // Runs the whole update; returns when all four steps are done. Refused
    // while an update runs.
    void Button1Click();
    void UpdateAbortClick();
    void Button2Click();
    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void HttpCli2DocData();
    // The lines between the marks of the download in `file`; nullopt when it is not complete.
    static std::optional<QStringList> framedList(QFile& file);
    void status(const QString& label, const QString& log);
    void status(const QString& text) { status(text, text); }
    void storeLogin();
    QString updateServer();
    ProgramSettings& settings() { return m_settings.get(m_programDir); }

    QString m_programDir;
    SettingsLink m_settings;
    std::function<int()> m_engineCount;
    bool m_updating = false;
    bool m_tooLarge = false; // the download in progress passed the size cap
};
