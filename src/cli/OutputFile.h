#pragma once

#include <QSaveFile>
#include <QString>

#include <memory>

// A file named by an option, written atomically: the old file stays whole
// until commit(), and a job that ends early (an error, Ctrl-C) leaves it as it
// was. "-" names standard output, which is written as it goes.
class OutputFile
{
public:
    explicit OutputFile(const QString& name);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool isStandardOutput() const { return m_name == QLatin1String("-"); }
    QString name() const { return m_name; }

    bool open();
    bool write(const QByteArray& bytes);
    bool commit();
    // "Unable to write to FILE" and the system's reason.
    QString errorText() const { return m_error; }

private:
    QString m_name;
    std::unique_ptr<QSaveFile> m_file;
    QString m_error;
};
