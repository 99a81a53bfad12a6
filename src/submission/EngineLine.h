#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// One line of the auto-submit engine database: the engine name, "=", then
// positional fields each ended by "|". A field that no "|" follows reads as
// empty, so text after the last "|" is ignored.
class EngineLine
{
public:
    static constexpr int FieldCount = 38;

    // Field positions, counted from 1 after the "=".
    enum Field {
        Type = 1,
        SiteUrl = 2,
        SubmitUrl = 3,
        TitleParam = 4,
        UrlParam = 5,
        EmailParam = 6,
        DescriptionParam = 7,
        EmptyParam = 8,
        CategoryScheme = 9,
        NameParam = 10,
        FixedParams = 11,
        LastNameParam = 12,
        CompanyParam = 13,
        Address1Param = 14,
        Address2Param = 15,
        CityParam = 16,
        StateParam = 17,
        ZipParam = 18,
        PhoneParam = 19,
        FaxParam = 20,
        Method = 21,
        KeywordsParam = 22,
        // 23 to 37 are reserved and never read.
        CountryParam = 38,
    };

    EngineLine() = default;
    // A whole line: name before the first "=", fields after it. A line
    // without "=" is all name and has no fields.
    explicit EngineLine(const QString& line);
    // A name and the text after its "=" (what a lookup by name returns).
    static EngineLine fromValue(const QString& name, const QString& value);

    QString name() const { return m_name; }
    // Field at a position 1..38; empty for a missing field or a bad position.
    QString field(int position) const { return fieldView(position).toString(); }
    // The same field without a copy; valid while this line lives and is not assigned to.
    QStringView fieldView(int position) const;
    QString type() const { return field(Type); }
    QString siteUrl() const { return field(SiteUrl); }
    // "POST" exactly selects a POST request; anything else is GET.
    bool isPost() const { return fieldView(Method) == QLatin1String("POST"); }

    // The pieces of a line without building the whole record.
    static QString nameOf(QStringView line);
    static QStringView valueOf(QStringView line);
    static QStringView fieldOf(QStringView value, int position);

private:
    QString m_name;
    QString m_value;
    // Only the "|"-terminated fields count, at most FieldCount. Field n (1-based) runs from
    // m_ends[n - 1] + 1 (0 for the first) to its bar at m_ends[n]; m_ends[0] is -1. Positions,
    // not copies: a request reads a dozen fields of a line that has 38.
    int m_fieldCount = 0;
    qsizetype m_ends[FieldCount + 1] = {-1};
};
