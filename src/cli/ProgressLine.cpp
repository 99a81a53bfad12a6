#include "ProgressLine.h"

#include <cstdio>
#include <unistd.h>

ProgressLine::ProgressLine(bool enabled) : m_enabled(enabled && stderrIsTerminal())
{
    m_started.start();
}

ProgressLine::~ProgressLine()
{
    clear();
}

bool ProgressLine::stderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

QString ProgressLine::format(qint64 done, qint64 queued, qint64 elapsedMs)
{
    const double seconds = elapsedMs / 1000.0;
    const double rate = seconds > 0 ? done / seconds : 0.0;
    const qint64 total = elapsedMs / 1000;
    const QString elapsed = total >= 3600
                                ? QStringLiteral("%1:%2:%3")
                                      .arg(total / 3600)
                                      .arg(total / 60 % 60, 2, 10, QLatin1Char('0'))
                                      .arg(total % 60, 2, 10, QLatin1Char('0'))
                                : QStringLiteral("%1:%2").arg(total / 60).arg(total % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 done, %2 queued, %3/s, %4")
        .arg(done)
        .arg(queued)
        .arg(rate, 0, 'f', 1)
        .arg(elapsed);
}

void ProgressLine::update(qint64 done, qint64 queued, bool force)
{
    if (m_enabled)
        show(format(done, queued, m_started.elapsed()), force);
}

void ProgressLine::show(const QString& text, bool force)
{
    if (!m_enabled)
        return;
    if (!force && m_lastDraw.isValid() && m_lastDraw.elapsed() < 100)
        return;
    m_lastDraw.start();
    const QByteArray line = "\r" + text.toUtf8() + "\x1b[K";
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
    m_drawn = true;
}

void ProgressLine::clear()
{
    if (!m_drawn)
        return;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
    m_drawn = false;
}
