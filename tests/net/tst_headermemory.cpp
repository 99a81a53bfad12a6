#include "net/THttpCli.h"
#include "support/ScriptedServer.h"

#include <QFile>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <vector>
#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace {

// Live heap bytes: what the program holds, whatever the allocator keeps
// cached (AddressSanitizer's quarantine, glibc's free lists).
long heapKb()
{
#if defined(__SANITIZE_ADDRESS__)
    return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
#endif
}

} // namespace

class TestHeaderMemory : public QObject
{
    Q_OBJECT

private slots:
    // A server that answers with endless short header lines ("X-Many: v")
    // made each running request hold about 9 MB before its header was cut.
    void endlessShortHeaderLines()
    {
        constexpr int Requests = 50;
        ScriptedServer server;
        server.play(ScriptedServer::Script()
                        .awaitRequest()
                        .send("HTTP/1.0 200 OK\r\n")
                        .sendRepeated("X-Many: v\r\n", 400000)
                        .stall());
        const long beforeKb = heapKb();
        long peakKb = beforeKb;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, this, [&] { peakKb = std::max(peakKb, heapKb()); });
        sampler.start(5);

        std::vector<std::unique_ptr<THttpCli>> clients;
        int done = 0;
        QStringList texts;
        for (int i = 0; i < Requests; ++i) {
            auto client = std::make_unique<THttpCli>();
            connect(client.get(), &THttpCli::OnHeaderData, this, [&] { peakKb = std::max(peakKb, heapKb()); });
            connect(client.get(), &THttpCli::OnRequestDone, this, [&](THttpCli* c, int, int) {
                ++done;
                texts << c->ResponseText();
            });
            client->setURL(server.url(QStringLiteral("/")));
            client->BeginGet();
            clients.push_back(std::move(client));
        }
        QTRY_COMPARE_WITH_TIMEOUT(done, Requests, 120000);
        sampler.stop();
        clients.clear();
        QTest::qWait(200);
        const long afterKb = heapKb();
        qInfo("heap: %ld kB before, %ld kB at most during, %ld kB after %d requests", beforeKb, peakKb, afterKb,
              Requests);
        QCOMPARE(texts.count(QStringLiteral("HTTP header too long")), Requests);
        // About 1 MB of header per request (its buffer may grow to twice that).
        QVERIFY2(peakKb - beforeKb < Requests * 2500, QByteArray::number(peakKb - beforeKb).constData());
        QVERIFY2(afterKb - beforeKb < 4 * 1024, QByteArray::number(afterKb - beforeKb).constData());
    }
};

QTEST_GUILESS_MAIN(TestHeaderMemory)
#include "tst_headermemory.moc"
