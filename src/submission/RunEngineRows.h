#pragma once

#include "EngineRow.h"

#include <QString>

// The engine rows a run works on, addressed by position: the engine view's
// model in the window, a plain list on the command line. The filters, the
// run and its live requests read the marks and write the outcomes here.
class RunEngineRows
{
public:
    virtual ~RunEngineRows() = default;

    virtual int count() const = 0;
    bool isValidRow(int row) const { return row >= 0 && row < count(); }
    virtual const EngineRow& row(int row) const = 0;
    QString engineName(int row) const { return this->row(row).name; }
    bool isChecked(int row) const { return this->row(row).checked; }
    // N for a batch row (1 when N is not a whole number), 1 for every other.
    int submissionWeight(int row) const { return this->row(row).weight; }

    // Sets a mark without telling anyone; flushChecks() tells the views of
    // every mark changed since the last flush. For passes over many rows.
    virtual void setCheckedQuietly(int row, bool checked) = 0;
    virtual void flushChecks() = 0;

    // What the run writes into a row.
    virtual void setRowImage(int row, RowImage image) = 0;
    // Result, image and date at once, as a request ends.
    virtual void setOutcome(int row, const QString& result, RowImage image, const QString& date) = 0;
    // Empties "Result" and "Date" and removes the image.
    virtual void clearResult(int row) = 0;
};
