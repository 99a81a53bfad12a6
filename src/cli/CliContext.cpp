#include "CliContext.h"

#include "CliExit.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void writeLine(FILE* stream, const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

bool copyTree(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    const QDir source(from);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + QLatin1Char('/') + source.relativeFilePath(path);
        const QFileInfo info = it.fileInfo();
        if (info.isDir()) {
            if (!QDir().mkpath(target))
                return false;
        } else if (!QDir().mkpath(QFileInfo(target).absolutePath()) || !QFile::copy(path, target)
                   || !QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner)) {
            return false;
        }
    }
    return true;
}

} // namespace

CliContext::CliContext(const QString& dirOption, bool quiet)
    : m_dirOption(dirOption), m_quiet(quiet), m_progress(std::make_unique<ProgressLine>(!quiet))
{
}

CliContext::~CliContext() = default;

void CliContext::setQuiet(bool quiet)
{
    if (quiet == m_quiet)
        return;
    m_quiet = quiet;
    m_progress = std::make_unique<ProgressLine>(!quiet);
}

QString CliContext::userProgramDir(const QProcessEnvironment& environment)
{
    QString data = environment.value(QStringLiteral("XDG_DATA_HOME"));
    // A relative XDG_DATA_HOME is invalid and ignored, as the launcher does.
    if (!data.startsWith(QLatin1Char('/'))) {
        const QString home = environment.value(QStringLiteral("HOME"));
        if (home.isEmpty())
            return QString();
        data = home + QStringLiteral("/.local/share");
    }
    return data + QStringLiteral("/vantor-pro");
}

QString CliContext::installedTemplate()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/')
                           + QStringLiteral(VANTOR_CLI_TEMPLATE));
}

bool CliContext::prepareFromTemplate(const QString& dir)
{
    const QString templ = installedTemplate();
    if (!QFileInfo(templ).isDir())
        return false;
    const QString parent = QFileInfo(dir).absolutePath();
    if (!QDir().mkpath(parent))
        return false;
    // Filled beside its place and renamed into it, so a copy cut short is
    // never taken for a prepared directory.
    QTemporaryDir staging(parent + QStringLiteral("/.vantor-pro.XXXXXX"));
    if (!staging.isValid() || !copyTree(templ, staging.path()))
        return false;
    if (QDir().rename(staging.path(), dir)) {
        staging.setAutoRemove(false);
        message(QStringLiteral("prepared a new program directory at %1").arg(dir));
        return true;
    }
    // Another start prepared it first: use that one.
    return QFileInfo(dir).isDir();
}

int CliContext::openProgramDir()
{
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString dir = m_dirOption;
    bool perUser = false;
    if (dir.isEmpty())
        dir = environment.value(QStringLiteral("VANTOR_PROGRAM_DIR"));
    if (dir.isEmpty()) {
        dir = userProgramDir(environment);
        perUser = true;
        if (dir.isEmpty()) {
            error(QStringLiteral("neither HOME nor VANTOR_PROGRAM_DIR is set, and no --dir was given"));
            return CliExit::ProgramDir;
        }
    }
    if (perUser && !QFileInfo::exists(dir))
        prepareFromTemplate(dir);

    const QFileInfo info(dir);
    if (!info.exists()) {
        error(QStringLiteral("the program directory %1 does not exist").arg(dir));
        return CliExit::ProgramDir;
    }
    if (!info.isDir() || !info.isReadable() || !info.isExecutable()) {
        error(QStringLiteral("the program directory %1 is not a readable directory").arg(dir));
        return CliExit::ProgramDir;
    }
    const QDir programDir(dir);
    if (!QFileInfo(programDir.filePath(QStringLiteral("dfd.ini"))).isFile()
        && !QFileInfo(programDir.filePath(QStringLiteral("data"))).isDir()) {
        error(QStringLiteral("%1 is not a Vantor Pro program directory: it holds neither dfd.ini nor data/").arg(dir));
        return CliExit::ProgramDir;
    }
    m_programDir = programDir.absolutePath();
    return CliExit::Ok;
}

int CliContext::claimLock()
{
    if (m_lock.isHeld())
        return CliExit::Ok;
    if (m_lock.claim(m_programDir) == ProgramDirLock::Result::HeldElsewhere) {
        error(ProgramDirLock::alreadyRunningText());
        return CliExit::ProgramDir;
    }
    return CliExit::Ok;
}

void CliContext::result(const QString& line)
{
    m_progress->clear();
    writeLine(stdout, line);
}

void CliContext::message(const QString& text)
{
    if (m_quiet)
        return;
    m_progress->clear();
    writeLine(stderr, QStringLiteral("vantor-cli: ") + text);
}

void CliContext::error(const QString& text)
{
    m_progress->clear();
    writeLine(stderr, QStringLiteral("vantor-cli: ") + text);
}
