#pragma once

#include "support/LocalPeer.h"

// nginx in one process in the foreground, serving files from www/ in its
// temporary directory. `/moved` answers with a real 301 to `/index.html`.
class NginxPeer : public LocalPeer
{
public:
    QString program() const override;
    // Puts a file under the served root (before or after start).
    bool addFile(const QString& path, const QByteArray& bytes)
    {
        return writeFile(QStringLiteral("www") + path, bytes);
    }
    QString url(const QString& path) const;

protected:
    QStringList arguments() const override;
    bool writeConfig() override;
    QString logFile() const override;
};
