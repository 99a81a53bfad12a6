#include "net/DescriptorLimit.h"

#include <QDir>

#include <algorithm>
#include <climits>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

void raiseDescriptorLimit()
{
    rlimit limit = {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

long descriptorLimit()
{
    rlimit limit = {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur > static_cast<rlim_t>(INT_MAX))
        return INT_MAX;
    return static_cast<long>(limit.rlim_cur);
}

int openDescriptorCount()
{
    const QDir fds(QStringLiteral("/proc/self/fd"));
    if (fds.exists()) // one entry is the listing's own descriptor
        return std::max<int>(0, static_cast<int>(fds.entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size()) - 1);
    const long limit = std::min<long>(descriptorLimit(), 65536);
    int open = 0;
    for (int fd = 0; fd < limit; ++fd)
        open += ::fcntl(fd, F_GETFD) != -1 ? 1 : 0;
    return open;
}

int socketBudget(int reserve)
{
    const long free = descriptorLimit() - openDescriptorCount() - reserve;
    return static_cast<int>(std::clamp<long>(free, 1, INT_MAX));
}
