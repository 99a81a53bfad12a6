#include "AttentionFlasher.h"

#include <QGuiApplication>
#include <QPalette>
#include <QTimer>
#include <QWidget>

namespace {
const char* const kFlashState = "flashState";
}

AttentionFlasher::AttentionFlasher(QObject* parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(500);
    connect(m_timer, &QTimer::timeout, this, &AttentionFlasher::Timer1Timer);
    // It starts out running in mode 0, which shows nothing.
    m_timer->start();
}

void AttentionFlasher::setTarget(int mode, QWidget* control)
{
    if (mode <= 0 || mode >= 7)
        return;
    m_targets[mode] = control;
    if (control)
        show(mode, baseState(mode));
}

QWidget* AttentionFlasher::target(int mode) const
{
    return (mode > 0 && mode < 7) ? m_targets[mode].data() : nullptr;
}

void AttentionFlasher::start(int mode)
{
    m_mode = mode;
    m_timer->start();
}

void AttentionFlasher::stop()
{
    m_timer->stop();
}

bool AttentionFlasher::isRunning() const
{
    return m_timer->isActive();
}

void AttentionFlasher::restore(int mode)
{
    if (target(mode))
        show(mode, baseState(mode));
}

int AttentionFlasher::flashState(const QWidget* control)
{
    return control ? control->property(kFlashState).toInt() : 0;
}

int AttentionFlasher::baseState(int mode)
{
    switch (mode) {
    case ImportButton:
        return 0;
    case SpiderButton:
        return 2;
    case SubmitButton:
        return 6;
    case ProjectList:
        return 0;
    default:
        return 0;
    }
}

void AttentionFlasher::Timer1Timer()
{
    QWidget* control = target(m_mode);
    if (!control || (m_mode != ImportButton && m_mode != SpiderButton && m_mode != SubmitButton &&
                     m_mode != ProjectList))
        return;
    const int base = baseState(m_mode);
    show(m_mode, flashState(control) == base ? base + 1 : base);
}

void AttentionFlasher::show(int mode, int state)
{
    QWidget* control = target(mode);
    control->setProperty(kFlashState, state);
    QPalette palette = control->palette();
    if (mode == ProjectList) {
        const QColor text = state == 1 ? QColor(0xFF, 0, 0) : QColor(Qt::black);
        palette.setColor(QPalette::Text, text);
        palette.setColor(QPalette::WindowText, text);
    } else {
        // The lit half of a button's blink swaps its face to the highlight.
        const bool lit = state != baseState(mode);
        // Only the enabled look blinks: a disabled button keeps its greyed text.
        const QPalette normal = QGuiApplication::palette();
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(group, QPalette::Button,
                             lit ? normal.color(group, QPalette::Highlight) : normal.color(group, QPalette::Button));
            palette.setColor(group, QPalette::ButtonText,
                             lit ? normal.color(group, QPalette::HighlightedText)
                                 : normal.color(group, QPalette::ButtonText));
        }
    }
    control->setPalette(palette);
    control->update();
}
