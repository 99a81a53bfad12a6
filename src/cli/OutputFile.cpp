#include "OutputFile.h"

#include <cstdio>

OutputFile::OutputFile(const QString& name) : m_name(name)
{
}

OutputFile::~OutputFile()
{
    if (m_file)
        m_file->cancelWriting();
}

bool OutputFile::open()
{
    if (isStandardOutput())
        return true;
    m_file = std::make_unique<QSaveFile>(m_name);
    if (!m_file->open(QIODevice::WriteOnly)) {
        m_error = QStringLiteral("Unable to write to %1: %2").arg(m_name, m_file->errorString());
        m_file.reset();
        return false;
    }
    return true;
}

bool OutputFile::write(const QByteArray& bytes)
{
    if (isStandardOutput()) {
        if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size())) {
            m_error = QStringLiteral("Unable to write to standard output");
            return false;
        }
        return true;
    }
    if (!m_file || m_file->write(bytes) != bytes.size()) {
        m_error = QStringLiteral("Unable to write to %1: %2")
                      .arg(m_name, m_file ? m_file->errorString() : QStringLiteral("not open"));
        return false;
    }
    return true;
}

bool OutputFile::commit()
{
    if (isStandardOutput())
        return std::fflush(stdout) == 0;
    if (!m_file)
        return false;
    const bool ok = m_file->commit();
    if (!ok)
        m_error = QStringLiteral("Unable to write to %1: %2").arg(m_name, m_file->errorString());
    m_file.reset();
    return ok;
}
