#include "CliProcess.h"

#include <QProcess>

namespace {

QStringList lines(const QByteArray& bytes)
{
    QStringList result = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast();
    return result;
}

} // namespace

QStringList CliRun::outLines() const
{
    return lines(out);
}

QStringList CliRun::errLines() const
{
    return lines(err);
}

QString cliPath()
{
    return QStringLiteral(VANTOR_CLI_PATH);
}

CliRun runCliProcess(const QStringList& arguments, const QProcessEnvironment& environment, int timeoutMs)
{
    QProcess process;
    QProcessEnvironment env = environment.isEmpty() ? QProcessEnvironment::systemEnvironment() : environment;
    process.setProcessEnvironment(env);
    process.start(cliPath(), arguments);
    CliRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}
