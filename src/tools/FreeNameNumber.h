#pragma once

#include <QObject>
#include <QString>

#include <map>

class QAbstractItemModel;

// The spider's name search (ProjectImport::freeNumber) over a list that
// grows page by page: the smallest n from a start such that the upper-cased
// base followed by n is in no upper-cased name of the list. Instead of the
// list's whole text it keeps, sorted, each name's text from every place the
// base occurs in it, and follows the list's changes; a look-up then costs a
// few comparisons however long the list is.
class FreeNameNumber : public QObject
{
    Q_OBJECT

public:
    // `model` holds one name per row (its display text).
    FreeNameNumber(const QString& base, QAbstractItemModel* model, QObject* parent = nullptr);

    int next(int from) const;

private:
    void addRows(int first, int last, int delta);
    void rebuild();
    bool contained(const QString& upperNeedle) const;

    QString m_upperBase;
    QAbstractItemModel* m_model;
    std::map<QString, int> m_tails; // text from an occurrence of the base, with its count
};
