#pragma once

#include "settings/SettingsLink.h"

#include <QWidget>

class ProgramSettings;
class QComboBox;
class QPushButton;

// The "Submit Options" window: the run's time-out and parallel requests, and
// the owner of the submission run's live requests.
class TLiveResult : public QWidget
{
    Q_OBJECT

public:
    // Created once at start-up, after the main window has read the settings.
    TLiveResult(const QString& programDir, int timeout, int ports, QWidget* parent = nullptr);
    // The program's settings object; without one the window keeps its own.
    void setSettings(ProgramSettings* settings) { m_settings.setShared(settings); }

    QComboBox* TimeOuts = nullptr;
    QComboBox* Ports = nullptr;
    QPushButton* Button1 = nullptr; // Apply
    QPushButton* Button2 = nullptr; // Close

    // A box's text as a time-out or port count: a whole number of 1 or more.
    static bool parseCount(const QString& text, int* value);

signals:
    // "Apply" stored new values; the running program takes them at once.
    void optionsApplied(int timeout, int ports);

public slots:
    void Button1Click();
    void Button2Click();

private:
    QString m_programDir;
    SettingsLink m_settings;
};
