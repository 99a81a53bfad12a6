#pragma once

#include "net/ProxyValues.h"
#include "settings/SettingsLink.h"

#include <QString>
#include <QWidget>

class ProgramSettings;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The "Proxy Settings" window: whether the user is behind a proxy, and the
// proxy's host, port and login, stored in section "Proxy" of dfd.ini.
class TProxyset : public QWidget
{
    Q_OBJECT

public:
    explicit TProxyset(QWidget* parent = nullptr);

    void setProgramDir(const QString& programDir) { m_programDir = programDir; }
    // The program's settings object; without one the window keeps its own.
    void setSettings(ProgramSettings* settings) { m_settings.setShared(settings); }
    // The four boxes as they stand.
    ProxyValues values() const;

    QRadioButton* RadioButton2 = nullptr; // "I am behind a firewall or proxy"
    QRadioButton* RadioButton3 = nullptr; // "I am not behind a firewall or proxy"
    QLineEdit* HttpProxy = nullptr;
    QLineEdit* HttpPort = nullptr;
    QLineEdit* HttpPass = nullptr;
    QLineEdit* HttpUsername = nullptr;
    QPushButton* Button1 = nullptr; // "Apply"
    QPushButton* Button2 = nullptr; // "Close"

signals:
    // The proxy is to be used by the program's clients (all but the updater's).
    // Never withdrawn: a proxy once applied stays in force until the program ends.
    void proxyApplied(const ProxyValues& proxy);

public slots:
    // Stores the five keys, then applies them.
    void Button1Click();
    void Button2Click();
    // Reads section "Proxy" into the boxes and, when the user is behind a
    // proxy, hands the values on. Run at the main window's first show and by "Apply".
    void ApplyProxySettings();

private:
    ProgramSettings& settings() { return m_settings.get(m_programDir); }

    QString m_programDir;
    SettingsLink m_settings;
};
