#include "CliApp.h"

#include "CliCommands.h"
#include "CliContext.h"
#include "CliExit.h"

#include <QCommandLineParser>

#include <cstdio>

namespace {

QString programUsage()
{
    QString text = QStringLiteral("usage: vantor-cli [--dir DIR] [--quiet] COMMAND [OPTIONS] [ARGUMENTS]\n"
                                  "       vantor-cli --help | --version\n"
                                  "       vantor-cli COMMAND --help\n\n"
                                  "Does Vantor Pro's long jobs without a window, in the same program directory.\n\n"
                                  "Options:\n"
                                  "  --dir DIR                  the program directory (else VANTOR_PROGRAM_DIR, else\n"
                                  "                             the per-user one of vantor-pro)\n"
                                  "  --quiet                    print no progress and no messages\n\n"
                                  "Commands:\n");
    for (const CliCommand& command : cliCommands())
        text += QStringLiteral("  %1 %2\n").arg(QString::fromLatin1(command.name).leftJustified(24),
                                                  QString::fromUtf8(command.summary));
    return text;
}

void print(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

int usageError(const QString& text)
{
    print(stderr, QStringLiteral("vantor-cli: ") + text + QLatin1Char('\n'));
    print(stderr, programUsage());
    return CliExit::Usage;
}

} // namespace

int runCli(const QStringList& arguments)
{
    QCommandLineParser parser;
    // Everything from the command's name on belongs to the command.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption dirOption(QStringLiteral("dir"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption quietOption(QStringLiteral("quiet"));
    const QCommandLineOption helpOption(QStringLiteral("help"));
    const QCommandLineOption versionOption(QStringLiteral("version"));
    parser.addOptions({dirOption, quietOption, helpOption, versionOption});
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(versionOption)) {
        print(stdout, QStringLiteral("vantor-cli %1\n").arg(QStringLiteral(VANTOR_VERSION)));
        return CliExit::Ok;
    }
    QStringList rest = parser.positionalArguments();
    if (parser.isSet(helpOption)) {
        print(stdout, programUsage());
        return CliExit::Ok;
    }
    if (rest.isEmpty())
        return usageError(QStringLiteral("no command given"));
    const QString name = rest.takeFirst();
    for (const CliCommand& command : cliCommands()) {
        if (name == QLatin1String(command.name)) {
            CliContext context(parser.value(dirOption), parser.isSet(quietOption));
            return command.run(context, rest);
        }
    }
    return usageError(QStringLiteral("unknown command '%1'").arg(name));
}
