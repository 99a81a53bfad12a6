#pragma once

#include "RankResult.h"

#include <QObject>
#include <QPointer>

#include <optional>

class RankCheck;
class RankHistory;
class RankListModel;

// Keeps each finished row of a rank check in the rank history as it
// finishes (so a cancelled check keeps what it finished) and compares it
// with the engine's previous stored check. The window and vantor-cli both
// run their checks through it.
class RankRecorder : public QObject
{
    Q_OBJECT

public:
    // `history` may be null: the check then runs without keeping anything.
    RankRecorder(RankCheck* check, RankHistory* history, QObject* parent = nullptr);

    // Skipped rows are stored too unless switched off (the command line
    // checks only the engines it names and keeps nothing of the others).
    void setKeepSkipped(bool keep) { m_keepSkipped = keep; }
    // Shows each row's change in this model's rows.
    void setModel(RankListModel* model) { m_model = model; }
    // Why the last row could not be stored; empty when it was.
    QString errorText() const { return m_error; }

signals:
    void recorded(int row, const RankResult& result, const std::optional<RankResult>& previous);
    void storeFailed(const QString& text);

private:
    void rowFinished(int row, const RankResult& result);

    RankHistory* m_history;
    QPointer<RankListModel> m_model;
    bool m_keepSkipped = true;
    QString m_error;
};
