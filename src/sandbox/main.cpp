// vantor-sandbox: local sites on 127.0.0.1 for offline runs of Vantor Pro.
#include "sandbox/IndexNowSite.h"
#include "sandbox/QuitOnSignal.h"
#include "sandbox/SandboxServer.h"
#include "sandbox/SearchSite.h"
#include "sandbox/UpdateService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

// Every held connection is a descriptor; a run may hold many stalls at once.
void raiseDescriptorLimit()
{
    rlimit limit = {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= std::min<rlim_t>(limit.rlim_max, 8192))
        return;
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 8192);
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

int fail(const QString& text)
{
    std::fprintf(stderr, "vantor-sandbox: %s\n", qPrintable(text));
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    raiseDescriptorLimit();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vantor-sandbox"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Local target sites, manual and services for offline runs."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port on 127.0.0.1 (0 picks a free one; default 8088)."),
                                        QStringLiteral("port"), QStringLiteral("8088"));
    const QCommandLineOption logOption(QStringLiteral("log"),
                                       QStringLiteral("Append the request log to this file instead of stdout."),
                                       QStringLiteral("file"));
    const QCommandLineOption exitOption(QStringLiteral("exit-after"),
                                        QStringLiteral("Stop by itself after this many seconds."),
                                        QStringLiteral("seconds"));
    const QCommandLineOption dataOption(
        QStringLiteral("data"),
        QStringLiteral("Serve the update service's lists from this directory instead of the built-in starter data."),
        QStringLiteral("dir"));
    parser.addOption(dataOption);
    const QCommandLineOption keyOption(
        QStringLiteral("indexnow-key"),
        QStringLiteral("Serve /<key>.txt and accept the key at /indexnow, as if its key file had just been "
                       "uploaded (repeatable)."),
        QStringLiteral("key"));
    const QCommandLineOption driftOption(
        QStringLiteral("rank-drift"),
        QStringLiteral("Move the chosen site on /search up to this many places between checks (0 to 1000; "
                       "a query's own drift= wins)."),
        QStringLiteral("places"));
    parser.addOption(driftOption);
    parser.addOption(portOption);
    parser.addOption(logOption);
    parser.addOption(exitOption);
    parser.addOption(keyOption);
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    bool ok = false;
    const uint port = parser.value(portOption).toUInt(&ok);
    if (!ok || port > 65535)
        return fail(QStringLiteral("--port wants a number from 0 to 65535, not \"%1\"").arg(parser.value(portOption)));
    int exitAfter = 0;
    if (parser.isSet(exitOption)) {
        exitAfter = parser.value(exitOption).toInt(&ok);
        if (!ok || exitAfter < 1 || exitAfter > 24 * 3600)
            return fail(QStringLiteral("--exit-after wants whole seconds from 1 to 86400, not \"%1\"")
                            .arg(parser.value(exitOption)));
    }

    if (parser.isSet(driftOption)) {
        const int drift = parser.value(driftOption).toInt(&ok);
        if (!ok || drift < 0 || drift > 1000)
            return fail(QStringLiteral("--rank-drift wants whole places from 0 to 1000, not \"%1\"")
                            .arg(parser.value(driftOption)));
        SearchSite::setDefaultDrift(drift);
    }
    if (parser.isSet(dataOption)) {
        const QDir data(parser.value(dataOption));
        if (!data.exists())
            return fail(QStringLiteral("--data: there is no directory %1").arg(parser.value(dataOption)));
        UpdateService::setDataDir(data.absolutePath());
    }
    for (const QString& key : parser.values(keyOption)) {
        if (!IndexNowSite::defaultKeys()->add(key.toLatin1()))
            return fail(
                QStringLiteral("--indexnow-key wants 8 to 128 characters of a-z, A-Z, 0-9 and \"-\", not \"%1\"")
                    .arg(key));
    }

    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write to stdout"));
    QFile logFile;
    QIODevice* log = &out;
    if (parser.isSet(logOption)) {
        logFile.setFileName(parser.value(logOption));
        if (!logFile.open(QIODevice::WriteOnly | QIODevice::Append))
            return fail(QStringLiteral("cannot open the log %1: %2").arg(logFile.fileName(), logFile.errorString()));
        log = &logFile;
    }

    QuitOnSignal quitOnSignal;
    SandboxServer server;
    server.addStandardSites();
    server.setLogDevice(log);
    if (!server.listen(static_cast<quint16>(port)))
        return fail(QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(server.errorString()));

    out.write("listening on 127.0.0.1:" + QByteArray::number(server.port()) + '\n');
    out.flush();

    if (exitAfter > 0)
        QTimer::singleShot(exitAfter * 1000, &app, &QCoreApplication::quit);
    return app.exec();
}
