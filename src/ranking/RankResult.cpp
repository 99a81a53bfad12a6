#include "RankResult.h"

#include <QLocale>

QString RankResult::describe() const
{
    switch (kind) {
    case RankKind::Found:
        return QStringLiteral("found in top %1").arg(bound);
    case RankKind::NotFound:
        return QStringLiteral("not found in top %1").arg(top);
    case RankKind::Error:
        return QStringLiteral("error: %1").arg(error);
    case RankKind::Skipped:
        break;
    }
    return QStringLiteral("skipped");
}

namespace RankResults {

QString kindName(RankKind kind)
{
    switch (kind) {
    case RankKind::Found:
        return QStringLiteral("found");
    case RankKind::NotFound:
        return QStringLiteral("not-found");
    case RankKind::Error:
        return QStringLiteral("error");
    case RankKind::Skipped:
        break;
    }
    return QStringLiteral("skipped");
}

std::optional<RankKind> kindFromName(const QString& name)
{
    for (RankKind kind : {RankKind::Found, RankKind::NotFound, RankKind::Error, RankKind::Skipped}) {
        if (kindName(kind) == name)
            return kind;
    }
    return std::nullopt;
}

RankChange change(const RankResult& current, const std::optional<RankResult>& previous)
{
    if (!previous || current.kind == RankKind::Error || current.kind == RankKind::Skipped ||
        previous->kind == RankKind::Skipped)
        return RankChange::None;
    if (previous->kind == RankKind::Error)
        return RankChange::WasError;
    const bool nowFound = current.kind == RankKind::Found;
    const bool wasFound = previous->kind == RankKind::Found;
    if (nowFound && !wasFound)
        return RankChange::WasNotFound;
    if (!nowFound)
        return wasFound ? RankChange::Down : RankChange::Same;
    if (current.bound == previous->bound)
        return RankChange::Same;
    return current.bound < previous->bound ? RankChange::Up : RankChange::Down;
}

QString previousText(const RankResult& previous)
{
    return previous.kind == RankKind::Found ? QString::number(previous.bound) : kindName(previous.kind);
}

QString changeTip(const RankResult& previous)
{
    const QString when = QLocale::system().toString(previous.time.toLocalTime(), QLocale::ShortFormat);
    return QStringLiteral("Previous check (%1): %2").arg(when, previous.describe());
}

} // namespace RankResults
