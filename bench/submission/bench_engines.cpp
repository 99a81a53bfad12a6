// Loads a generated data.ist of 100,000 lines into the engine view with its
// progress window (offscreen), from the start of the load to databaseLoaded,
// then runs one filter pass and one recount.
// A posted event is re-posted as soon as it is answered, so the largest gap
// between post and answer is how long the window was unresponsive. The floor
// is `sort -f` on the same file, run in the same process.
#include "submission/AutoSubmitEnginesPage.h"
#include "submission/EngineDatabase.h"
#include "submission/EngineModel.h"

#include "ui/TCLEDLabel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int LineCount = 100000;
constexpr double LoadTargetMs = 3000;
constexpr double PassTargetMs = 1000;
// The load returns to the event loop after every unit of about 10 ms.
constexpr double LoadLatencyTargetMs = 30;

const char* const kTypes[] = {"ENGINE",         "CLASSIFIED",         "FFA",        "BATCH->25",
                              "Custom->Engine", "Custom->Classified", "Custom->FFA"};

QByteArray generate()
{
    QRandomGenerator random(20261207);
    QByteArray out;
    out.reserve(LineCount * 260);
    for (int i = 0; i < LineCount; ++i) {
        const quint32 id = random.bounded(1000000000u);
        const char* type = kTypes[random.bounded(7)];
        QByteArray line = QByteArray("Engine ") + QByteArray::number(id) + (i % 3 ? "" : " Directory") + '=' + type +
                          "|http://127.0.0.1:8088/site/" + QByteArray::number(id) + "/|http://127.0.0.1:8088/submit/" +
                          QByteArray::number(i) +
                          "|title|url|email|description||1|first||last|company|address1|address2|city|state|zip|"
                          "phone|fax|" +
                          (i % 2 ? "POST" : "GET") + "|keywords||||||||||||||||country|\r\n";
        out += line;
    }
    return out;
}

// Posts an event, and again each time it is answered; keeps the worst wait.
class Probe : public QObject
{
public:
    void start()
    {
        m_running = true;
        m_worstNs = 0;
        m_answers = 0;
        post();
    }
    void stop() { m_running = false; }
    double worstMs() const { return m_worstNs / 1e6; }
    int answers() const { return m_answers; }

private:
    void post()
    {
        m_postedAt = m_clock.isValid() ? m_clock.nsecsElapsed() : (m_clock.start(), 0);
        QMetaObject::invokeMethod(
            this, [this] { answer(); }, Qt::QueuedConnection);
    }
    // The event still pending when a phase ends is answered (and counted)
    // by the event loop afterwards, so a phase that never lets events run
    // shows its whole length as the wait.
    void answer()
    {
        const qint64 waited = m_clock.nsecsElapsed() - m_postedAt;
        m_worstNs = qMax(m_worstNs, waited);
        ++m_answers;
        if (m_running)
            post();
    }

    QElapsedTimer m_clock;
    qint64 m_postedAt = 0;
    qint64 m_worstNs = 0;
    int m_answers = 0;
    bool m_running = false;
};

double timeMs(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

const char* verdict(bool met)
{
    return met ? "target met" : "TARGET MISSED";
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid() || !QDir(dir.path()).mkpath(QStringLiteral("data")))
        return 2;
    const QString path = dir.path() + QStringLiteral("/data/data.ist");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 2;
        file.write(generate());
    }
    const qint64 bytes = QFileInfo(path).size();

    // The floor: sort -f on the same file.
    QProcess sort;
    sort.setStandardOutputFile(QProcess::nullDevice());
    double sortMs = 0;
    sortMs = timeMs([&] {
        sort.start(QStringLiteral("sort"), {QStringLiteral("-f"), path});
        sort.waitForFinished(60000);
    });
    if (sort.exitStatus() != QProcess::NormalExit || sort.exitCode() != 0) {
        std::printf("sort -f failed\n");
        return 2;
    }

    // Reading and sorting alone, without the view.
    EngineDatabase plain;
    const double readSortMs = timeMs([&] { plain.load(path); });

    AutoSubmitEnginesPage page;
    page.resize(800, 500);
    page.setProgramDir(dir.path());
    page.show();
    app.processEvents();

    Probe probe;
    probe.start();
    bool loaded = false;
    // The load runs in units between events: from its start until databaseLoaded.
    const double loadMs = timeMs([&] {
        QEventLoop wait;
        QObject::connect(&page, &AutoSubmitEnginesPage::databaseLoaded, &wait, &QEventLoop::quit);
        loaded = page.LoadEngineDatabase();
        if (loaded)
            wait.exec();
    });
    probe.stop();
    app.processEvents();
    const double loadLatency = probe.worstMs();
    const int loadAnswers = probe.answers();
    if (!loaded || page.model()->count() != plain.count()) {
        std::printf("load failed: %d rows\n", page.model()->count());
        return 2;
    }
    const long long totalAfterLoad = page.TotalDis->value();

    probe.start();
    const double filterMs = timeMs([&] { page.ApplyEngineFilter(EngineFilter::Scope::All); });
    probe.stop();
    app.processEvents();
    const double filterLatency = probe.worstMs();

    probe.start();
    const double recountMs = timeMs([&] { page.RecountSelection(); });
    probe.stop();
    app.processEvents();
    const double recountLatency = probe.worstMs();
    const long long totalAfterRecount = page.TotalDis->value();

    std::printf("data.ist: %d lines, %lld bytes, %d rows after duplicates\n", LineCount, bytes, page.model()->count());
    std::printf("floor  sort -f                 %8.1f ms\n", sortMs);
    std::printf("read + sort (database only)    %8.1f ms   ratio to sort -f %.2f\n", readSortMs, readSortMs / sortMs);
    std::printf("LoadEngineDatabase (view, window, 3 passes) %8.1f ms   ratio to sort -f %.2f   %s (< %.0f ms)\n",
                loadMs, loadMs / sortMs, verdict(loadMs < LoadTargetMs), LoadTargetMs);
    std::printf("  posted event answered %d times, worst wait %.1f ms   %s (< %.0f ms)\n", loadAnswers, loadLatency,
                verdict(loadAnswers > 1 && loadLatency < LoadLatencyTargetMs), LoadLatencyTargetMs);
    std::printf("ApplyEngineFilter(All)         %8.1f ms   worst wait %.1f ms   %s (< %.0f ms)\n", filterMs,
                filterLatency, verdict(filterMs < PassTargetMs), PassTargetMs);
    std::printf("RecountSelection               %8.1f ms   worst wait %.1f ms   %s (< %.0f ms)\n", recountMs,
                recountLatency, verdict(recountMs < PassTargetMs), PassTargetMs);
    std::printf("Total after load %lld, after All pass and recount %lld\n", totalAfterLoad, totalAfterRecount);

    const bool met = loadMs < LoadTargetMs && filterMs < PassTargetMs && recountMs < PassTargetMs && loadAnswers > 1 &&
                     loadLatency < LoadLatencyTargetMs;
    return met ? 0 : 1;
}
