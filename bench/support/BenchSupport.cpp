#include "BenchSupport.h"

#include "net/THttpCli.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>
#include <vector>

namespace Bench {

int openFds()
{
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

long residentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

double loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return f.readAll().split(' ').value(0).toDouble();
}

void settle()
{
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

GetRun runGets(const QString& url, int clients, qint64 pageSize, int requests, int timeLimitMs)
{
    GetRun run;
    int started = 0;
    int finished = 0;
    std::vector<std::unique_ptr<THttpCli>> pool;
    QEventLoop loop;
    const auto next = [&](THttpCli* c) {
        if (started >= requests)
            return;
        ++started;
        c->BeginGet();
    };
    for (int i = 0; i < clients; ++i) {
        auto c = std::make_unique<THttpCli>();
        c->setURL(url);
        auto received = std::make_shared<qint64>(0);
        QObject::connect(c.get(), &THttpCli::OnDocData, c.get(),
                         [received](THttpCli*, const char*, int len) { *received += len; });
        QObject::connect(c.get(), &THttpCli::OnRequestDone, c.get(), [&, received](THttpCli* sender, int, int error) {
            if (error == 0 && sender->ResponseCode() == 200 && *received == pageSize)
                ++run.ok;
            else
                ++run.failed;
            *received = 0;
            if (++finished == requests)
                loop.quit();
            else
                next(sender);
        });
        pool.push_back(std::move(c));
    }
    QElapsedTimer timer;
    timer.start();
    for (auto& c : pool)
        next(c.get());
    QTimer::singleShot(timeLimitMs, &loop, &QEventLoop::quit);
    loop.exec();
    run.seconds = finished == requests ? double(timer.nsecsElapsed()) / 1e9 : -1;
    pool.clear();
    settle();
    return run;
}

AbResult apacheBench(const QString& ab, const QString& url, int requests, int concurrency, int timeLimitMs)
{
    AbResult run;
    QProcess p;
    p.start(ab, {QStringLiteral("-q"), QStringLiteral("-n"), QString::number(requests), QStringLiteral("-c"),
                 QString::number(concurrency), url});
    if (!p.waitForFinished(timeLimitMs)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    const auto time = QRegularExpression(QStringLiteral("Time taken for tests:\\s+([0-9.]+)")).match(out);
    const auto complete = QRegularExpression(QStringLiteral("Complete requests:\\s+(\\d+)")).match(out);
    const auto failed = QRegularExpression(QStringLiteral("Failed requests:\\s+(\\d+)")).match(out);
    if (time.hasMatch())
        run.seconds = time.captured(1).toDouble();
    run.complete = complete.hasMatch() ? complete.captured(1).toInt() : 0;
    run.failed = failed.hasMatch() ? failed.captured(1).toInt() : -1;
    return run;
}

void preferMemoryTempDir()
{
    if (qEnvironmentVariableIsEmpty("TMPDIR") && QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        qputenv("TMPDIR", "/dev/shm");
}

double wgetCrawl(const QString& wget, const QString& url)
{
    QTemporaryDir work;
    QProcess process;
    process.setWorkingDirectory(work.path());
    QElapsedTimer timer;
    timer.start();
    process.start(wget, {QStringLiteral("-r"), QStringLiteral("-l"), QStringLiteral("inf"), QStringLiteral("--spider"),
                         QStringLiteral("-nd"), QStringLiteral("-q"), url});
    if (!process.waitForFinished(900000) || process.exitCode() != 0)
        return -1;
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

QByteArray engineLines(int count, const QString& submitUrl)
{
    // Fields 4 to 38 by position: a few parameters, category scheme 1, GET.
    QList<QByteArray> fields(35);
    fields[4 - 4] = "title";
    fields[5 - 4] = "url";
    fields[6 - 4] = "email";
    fields[7 - 4] = "desc";
    fields[9 - 4] = "1";
    fields[10 - 4] = "name";
    fields[21 - 4] = "GET";
    fields[22 - 4] = "keywords";
    fields[38 - 4] = "country";
    QByteArray rest;
    for (const QByteArray& field : fields)
        rest += field + '|';
    QByteArray out;
    const QByteArray submit = submitUrl.toUtf8();
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i).rightJustified(5, '0');
        out += "Bench Engine " + n + "=ENGINE|http://site" + n + ".example/|" + submit + '|' + rest + "\r\n";
    }
    return out;
}

} // namespace Bench
