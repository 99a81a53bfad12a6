#pragma once

#include <QObject>
#include <QPointer>

class QTimer;
class QWidget;

// Makes one control blink to draw the user's eye: a 500 ms timer that, in
// its current mode, toggles that mode's control on every tick.
class AttentionFlasher : public QObject
{
    Q_OBJECT

public:
    enum Mode {
        Idle = 0,
        ImportButton = 1,
        SpiderButton = 2,
        SubmitButton = 4,
        ProjectList = 6,
    };

    explicit AttentionFlasher(QObject* parent = nullptr);

    // The control a mode toggles; the pages register theirs as they arrive.
    void setTarget(int mode, QWidget* control);
    QWidget* target(int mode) const;

    void start(int mode);
    void stop();
    int mode() const { return m_mode; }
    bool isRunning() const;
    QTimer* timer() const { return m_timer; }

    // Puts a mode's control back to its resting look (black text, plain button).
    void restore(int mode);

    // The flash state a control shows: 0/1, 2/3 or 6/7 for the buttons,
    // 0/1 for the project list where 1 means red text.
    static int flashState(const QWidget* control);

public slots:
    void Timer1Timer();

private:
    static int baseState(int mode);
    void show(int mode, int state);

    QTimer* m_timer;
    int m_mode = Idle;
    QPointer<QWidget> m_targets[7];
};
