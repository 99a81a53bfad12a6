#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

class CliContext;

// One command's options, GNU style (--name VALUE or --name=VALUE), on
// QCommandLineParser. Every command also takes --help and --quiet. A wrong
// command line is a usage error: the reason and the usage line go to
// standard error and the command ends with exit code 2.
class CommandLine
{
public:
    // `usage` is what follows "vantor-cli " on the usage line, e.g.
    // "audit URL [--max-pages N]".
    CommandLine(CliContext& context, const QString& usage, const QString& description);

    void addFlag(const QString& name, const QString& description);
    void addValue(const QString& name, const QString& valueName, const QString& description,
                  const QString& defaultValue = QString());

    // Parses `arguments` (the command's own, without the command name). False
    // when the command should end now with exitCode(): 0 after --help, 2 after
    // a usage error (already reported).
    bool parse(const QStringList& arguments, int minPositional, int maxPositional);
    int exitCode() const { return m_exitCode; }

    bool isSet(const QString& name) const { return m_parser.isSet(name); }
    QString value(const QString& name) const { return m_parser.value(name); }
    QStringList values(const QString& name) const { return m_parser.values(name); }
    QStringList positional() const { return m_parser.positionalArguments(); }

    // A whole number in [min, max]; an option not given leaves `out` as it is.
    // False after reporting a usage error.
    bool intValue(const QString& name, qint64 min, qint64 max, qint64* out);
    bool intValue(const QString& name, int min, int max, int* out);

    // Reports `text` and the usage line; returns CliExit::Usage.
    int usageError(const QString& text);
    QString usageLine() const;
    QString helpText() const;

private:
    CliContext& m_context;
    QString m_usage;
    QString m_description;
    QCommandLineParser m_parser;
    QList<QCommandLineOption> m_options;
    int m_exitCode = 0;
};
