#pragma once

#include <QString>

// Takes an address apart into protocol, user, password, host, port and path.
// On entry `path` is the base path that "./" and "../" addresses are resolved
// against; on return it holds the path found. The rules are deliberately not
// those of a general URL parser: they decide which addresses the program can
// reach and how relative links resolve, so callers rely on them exactly.
void SplitHttpUrl(const QString& url, QString& proto, QString& user, QString& password, QString& host, QString& port,
                  QString& path);
