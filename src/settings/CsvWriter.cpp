#include "CsvWriter.h"

namespace CsvWriter {

QByteArray field(const QString& value)
{
    const QByteArray bytes = value.toUtf8();
    bool quote = false;
    for (char c : bytes) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n') {
            quote = true;
            break;
        }
    }
    if (!quote)
        return bytes;
    QByteArray quoted;
    quoted.reserve(bytes.size() + 2);
    quoted.append('"');
    for (char c : bytes) {
        if (c == '"')
            quoted.append('"');
        quoted.append(c);
    }
    quoted.append('"');
    return quoted;
}

QByteArray row(const QStringList& fields)
{
    QByteArray line;
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line.append(',');
        line.append(field(fields.at(i)));
    }
    line.append("\r\n");
    return line;
}

} // namespace CsvWriter
