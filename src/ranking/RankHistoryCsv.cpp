#include "RankHistoryCsv.h"

#include <QStringList>

namespace {

QByteArray field(const QString& value)
{
    QByteArray bytes = value.toUtf8();
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n') && !bytes.contains('\r'))
        return bytes;
    bytes.replace("\"", "\"\"");
    return '"' + bytes + '"';
}

QByteArray line(const QStringList& fields)
{
    QByteArray out;
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ',';
        out += field(fields.at(i));
    }
    return out + "\r\n";
}

} // namespace

namespace RankHistoryCsv {

QByteArray header()
{
    return "time,engine,keyword,url,top,result,bound,page_address,error\r\n";
}

QByteArray row(const RankResult& r)
{
    return line({r.time.toUTC().toString(Qt::ISODate), r.engine, r.keyword, r.url, QString::number(r.top),
                 RankResults::kindName(r.kind), r.kind == RankKind::Found ? QString::number(r.bound) : QString(),
                 r.pageAddress, r.error});
}

QByteArray document(const QVector<RankResult>& rows)
{
    QByteArray out = header();
    for (const RankResult& r : rows)
        out += row(r);
    return out;
}

} // namespace RankHistoryCsv
