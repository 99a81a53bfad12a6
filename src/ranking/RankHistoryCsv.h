#pragma once

#include "RankResult.h"

#include <QByteArray>
#include <QVector>

// Stored rank checks as CSV (RFC 4180: a header row, comma separators,
// fields quoted when they need it, CR LF line ends, UTF-8): the columns
// time,engine,keyword,url,top,result,bound,page_address,error, the time in
// ISO 8601 UTC and the bound empty unless found.
namespace RankHistoryCsv {

QByteArray header();
QByteArray row(const RankResult& result);
QByteArray document(const QVector<RankResult>& rows);

} // namespace RankHistoryCsv
