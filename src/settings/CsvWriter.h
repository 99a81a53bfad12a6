#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// RFC 4180 rows: comma separators, a field quoted when it holds a comma, a
// quote or a line break (a quote doubled inside), CR LF line ends, UTF-8.
namespace CsvWriter {
QByteArray field(const QString& value);
QByteArray row(const QStringList& fields);
}
