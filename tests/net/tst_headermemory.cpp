#include "net/THttpCli.h"
#include "support/ScriptedServer.h"

#include <QFile>
#include <QProcess>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <memory>
#include <vector>
#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace {

// Live heap: what the program holds, whatever the allocator keeps cached.
long heapKb()
{
#if defined(__SANITIZE_ADDRESS__)
    return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
#endif
}

// Resident size, shown beside the heap: glibc may keep freed pages a while.
long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
    const qsizetype at = text.indexOf("VmRSS:");
    return at < 0 ? -1 : text.mid(at + 6, text.indexOf('\n', at) - at - 6).trimmed().split(' ').first().toLong();
}

} // namespace

class TestHeaderMemory : public QObject
{
    Q_OBJECT

private slots:
    // Endless "X-Many: v" header lines made each request hold about 9 MB
    // before its header was cut at 1 MB.
    void endlessShortHeaderLines()
    {
        constexpr int Requests = 50;
        QProcess peer; // a process of its own: what the server queues is not ours
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VANTOR_MANY_LINES_PEER"), QStringLiteral("1"));
        peer.setProcessEnvironment(env);
        peer.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(peer.waitForStarted(5000) && peer.waitForReadyRead(10000));
        const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(peer.readLine().trimmed().toInt());

        const long beforeKb = heapKb();
        const long beforeRssKb = residentKb();
        long peakKb = beforeKb;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, this, [&] { peakKb = std::max(peakKb, heapKb()); });
        sampler.start(5);
        std::vector<std::unique_ptr<THttpCli>> clients;
        QStringList texts;
        for (int i = 0; i < Requests; ++i) {
            clients.push_back(std::make_unique<THttpCli>());
            connect(clients.back().get(), &THttpCli::OnHeaderData, this, [&] { peakKb = std::max(peakKb, heapKb()); });
            connect(clients.back().get(), &THttpCli::OnRequestDone, this,
                    [&](THttpCli* c, int, int) { texts << c->ResponseText(); });
            clients.back()->setURL(url);
            clients.back()->BeginGet();
        }
        QTRY_COMPARE_WITH_TIMEOUT(texts.size(), Requests, 120000);
        clients.clear();
        QTest::qWait(200);
        const long afterKb = heapKb();
        qInfo("heap: %ld kB before, %ld kB at most during, %ld kB after %d requests; resident %ld kB before, %ld kB "
              "after",
              beforeKb, peakKb, afterKb, Requests, beforeRssKb, residentKb());
        QCOMPARE(texts.count(QStringLiteral("HTTP header too long")), Requests);
        QVERIFY2(peakKb - beforeKb < Requests * 1600, "more than about 1 MB per request");
        QVERIFY2(afterKb - beforeKb < 4 * 1024, "memory not given back after the requests");
#if !defined(__SANITIZE_ADDRESS__) // its quarantine holds freed memory on purpose
        QVERIFY2(residentKb() - beforeRssKb < 8 * 1024, "resident size not back after the requests");
#endif
        peer.kill();
        peer.waitForFinished(5000);
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("VANTOR_MANY_LINES_PEER")) {
        ScriptedServer server;
        server.play(ScriptedServer::Script()
                        .awaitRequest()
                        .send("HTTP/1.0 200 OK\r\n")
                        .sendRepeated("X-Many: v\r\n", 400000)
                        .stall());
        std::printf("%d\n", server.port());
        std::fflush(stdout);
        return app.exec();
    }
    TestHeaderMemory test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_headermemory.moc"
