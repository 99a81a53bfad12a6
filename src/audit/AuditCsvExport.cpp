#include "AuditCsvExport.h"

#include "AuditPagesModel.h"
#include "settings/CsvWriter.h"

#include <QIODevice>
#include <QSqlError>
#include <QSqlQuery>

#include <functional>

namespace AuditCsvExport {

QString field(const QString& text)
{
    return QString::fromUtf8(CsvWriter::field(text));
}

namespace {

bool writeLine(QIODevice& out, const QStringList& fields, QString* error)
{
    const QByteArray bytes = CsvWriter::row(fields);
    if (out.write(bytes) != bytes.size()) {
        *error = out.errorString();
        return false;
    }
    return true;
}

bool writeQuery(QSqlQuery& query, QIODevice& out, const QStringList& header, QString* error,
                const std::function<QString(int, const QVariant&)>& cell)
{
    if (!query.exec()) {
        *error = query.lastError().text();
        return false;
    }
    if (!writeLine(out, header, error))
        return false;
    QStringList fields;
    while (query.next()) {
        fields.clear();
        for (int c = 0; c < header.size(); ++c)
            fields.append(cell(c, query.value(c)));
        if (!writeLine(out, fields, error))
            return false;
    }
    return true;
}

} // namespace

bool writePages(const QSqlDatabase& db, qint64 crawlId, QIODevice& out, QString* error)
{
    const QStringList columns = AuditPagesModel::columnNames();
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM audit_pages WHERE crawl_id = ? ORDER BY seq")
                      .arg(columns.join(QStringLiteral(", "))));
    query.addBindValue(crawlId);
    return writeQuery(query, out, columns, error, [](int column, const QVariant& value) {
        if (column == AuditPagesModel::Indexable)
            return value.toInt() != 0 ? QStringLiteral("yes") : QStringLiteral("no");
        return value.isNull() ? QString() : value.toString();
    });
}

bool writeFindings(const QSqlDatabase& db, qint64 crawlId, QIODevice& out, QString* error)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT code, url, detail FROM audit_findings WHERE crawl_id = ? ORDER BY code, url, detail"));
    query.addBindValue(crawlId);
    return writeQuery(query, out, {QStringLiteral("code"), QStringLiteral("url"), QStringLiteral("detail")}, error,
                      [](int, const QVariant& value) { return value.toString(); });
}

} // namespace AuditCsvExport
