#include "ProgramPaths.h"

QString programPath(const QString& programDir, const QString& relative)
{
    QString rel = relative;
    rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (rel.startsWith(QLatin1Char('/')))
        rel.remove(0, 1);
    QString dir = programDir;
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    if (rel.isEmpty())
        return dir;
    return dir.endsWith(QLatin1Char('/')) ? dir + rel : dir + QLatin1Char('/') + rel;
}
