#include "RankHistoryCsv.h"

#include "settings/CsvWriter.h"

#include <QStringList>

namespace RankHistoryCsv {

QByteArray header()
{
    return "time,engine,keyword,url,top,result,bound,page_address,error\r\n";
}

QByteArray row(const RankResult& r)
{
    return CsvWriter::row({r.time.toUTC().toString(Qt::ISODate), r.engine, r.keyword, r.url, QString::number(r.top),
                           RankResults::kindName(r.kind),
                           r.kind == RankKind::Found ? QString::number(r.bound) : QString(), r.pageAddress, r.error});
}

QByteArray document(const QVector<RankResult>& rows)
{
    QByteArray out = header();
    for (const RankResult& r : rows)
        out += row(r);
    return out;
}

} // namespace RankHistoryCsv
