#pragma once

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QStatusBar;
class TCLEDLabel;

// The site spider's window: the note, the two counters, "Start Spider",
// "Stop" and "Close", the crawler's manners and the status bar. Stays on top
// of the main window. The crawl itself is run by the Import Wizard page,
// whose client downloads the pages; this window asks it by signals.
class TSpider : public QWidget
{
    Q_OBJECT

public:
    explicit TSpider(QWidget* parent = nullptr);

    // Ready for a new crawl: start enabled, stop disabled, counters "0", status "Idle".
    void prepare();
    void setStatus(const QString& text);
    QString status() const;
    // Both buttons disabled and status "Idle", as after "Stop".
    void halt();

    // Beyond the window's first design: how politely the crawl goes.
    bool respectRobots() const;
    // Milliseconds between page requests.
    int delayMs() const;
    // Pages to fetch at most; 0 for no limit.
    int pageLimit() const;

    static QString noteText()
    {
        return QStringLiteral("Before Spidering Url Be sure to have all Project infomation filled in so the spider "
                              "can use your contact info as a default for each spidered url");
    }

    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    TCLEDLabel* LedImp1 = nullptr; // URL's Found
    QLabel* Label3 = nullptr;
    TCLEDLabel* LedImp2 = nullptr;  // URL's Spidered
    QPushButton* Button1 = nullptr; // Start Spider
    QPushButton* Button2 = nullptr; // Stop
    QPushButton* Button3 = nullptr; // Close
    QCheckBox* RobotsCk = nullptr;
    QSpinBox* DelayEdit = nullptr;
    QSpinBox* PageLimitEdit = nullptr;
    QStatusBar* StatusBar1 = nullptr;

public slots:
    void Button1Click();
    void Button2Click();
    void Button3Click();

signals:
    void statusChanged(const QString& text);
    void startRequested();
    // "Stop", "Close" or closing the window: the running request is to be aborted.
    void stopRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* m_statusText = nullptr;
};
