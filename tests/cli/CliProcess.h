#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Runs the built vantor-cli to its end (bounded in time) and keeps what it
// printed, for the tests of every command.
struct CliRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    QStringList outLines() const;
    QStringList errLines() const;
};

QString cliPath();
CliRun runCliProcess(const QStringList& arguments, const QProcessEnvironment& environment = QProcessEnvironment(),
                     int timeoutMs = 60000);
