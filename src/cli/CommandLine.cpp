#include "CommandLine.h"

#include "CliContext.h"
#include "CliExit.h"

#include <cstdio>

CommandLine::CommandLine(CliContext& context, const QString& usage, const QString& description)
    : m_context(context), m_usage(usage), m_description(description)
{
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    addFlag(QStringLiteral("help"), QStringLiteral("Show this help and exit."));
    addFlag(QStringLiteral("quiet"), QStringLiteral("Print no progress and no messages, only results and errors."));
}

void CommandLine::addFlag(const QString& name, const QString& description)
{
    QCommandLineOption option(name, description);
    m_parser.addOption(option);
    m_options.append(option);
}

void CommandLine::addValue(const QString& name, const QString& valueName, const QString& description,
                           const QString& defaultValue)
{
    QCommandLineOption option(name, description, valueName, defaultValue);
    m_parser.addOption(option);
    m_options.append(option);
}

QString CommandLine::usageLine() const
{
    return QStringLiteral("usage: vantor-cli ") + m_usage;
}

QString CommandLine::helpText() const
{
    QString text = usageLine() + QStringLiteral("\n\n") + m_description + QStringLiteral("\n\nOptions:\n");
    for (const QCommandLineOption& option : m_options) {
        QString left = QStringLiteral("  --") + option.names().constFirst();
        if (!option.valueName().isEmpty())
            left += QLatin1Char(' ') + option.valueName();
        text += left.leftJustified(26) + QLatin1Char(' ') + option.description() + QLatin1Char('\n');
    }
    return text;
}

int CommandLine::usageError(const QString& text)
{
    m_context.error(text);
    const QByteArray line = usageLine().toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    m_exitCode = CliExit::Usage;
    return CliExit::Usage;
}

bool CommandLine::parse(const QStringList& arguments, int minPositional, int maxPositional)
{
    QStringList all = arguments;
    all.prepend(QStringLiteral("vantor-cli"));
    if (!m_parser.parse(all)) {
        usageError(m_parser.errorText());
        return false;
    }
    if (m_parser.isSet(QStringLiteral("help"))) {
        const QByteArray help = helpText().toUtf8();
        std::fwrite(help.constData(), 1, size_t(help.size()), stdout);
        m_exitCode = CliExit::Ok;
        return false;
    }
    if (m_parser.isSet(QStringLiteral("quiet")))
        m_context.setQuiet(true);
    const int count = int(m_parser.positionalArguments().size());
    if (count < minPositional) {
        usageError(QStringLiteral("missing argument"));
        return false;
    }
    if (maxPositional >= 0 && count > maxPositional) {
        usageError(QStringLiteral("unexpected argument '%1'").arg(m_parser.positionalArguments().at(maxPositional)));
        return false;
    }
    return true;
}

bool CommandLine::intValue(const QString& name, qint64 min, qint64 max, qint64* out)
{
    if (!m_parser.isSet(name))
        return true;
    bool ok = false;
    const QString text = m_parser.value(name);
    const qint64 value = text.toLongLong(&ok, 10);
    if (!ok || value < min || value > max) {
        usageError(QStringLiteral("--%1 takes a whole number from %2 to %3, not '%4'").arg(name).arg(min).arg(max).arg(text));
        return false;
    }
    *out = value;
    return true;
}

bool CommandLine::intValue(const QString& name, int min, int max, int* out)
{
    qint64 value = *out;
    if (!intValue(name, qint64(min), qint64(max), &value))
        return false;
    *out = int(value);
    return true;
}
