#pragma once

#include <QSqlDatabase>
#include <QString>

class QIODevice;

// The pages and findings files of a stored crawl, with the command line's
// columns: RFC 4180 fields, CR LF line ends, UTF-8. Rows are read from the
// store one at a time, so a large crawl is never held in memory.
namespace AuditCsvExport {

QString field(const QString& text);

// Pages in the order their fetches started; false with *error set when the
// store cannot be read or the device cannot be written.
bool writePages(const QSqlDatabase& db, qint64 crawlId, QIODevice& out, QString* error);
// Findings sorted by code, then address, then detail.
bool writeFindings(const QSqlDatabase& db, qint64 crawlId, QIODevice& out, QString* error);

} // namespace AuditCsvExport
