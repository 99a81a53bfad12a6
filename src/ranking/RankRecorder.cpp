#include "RankRecorder.h"

#include "RankCheck.h"
#include "RankHistory.h"
#include "RankListModel.h"

RankRecorder::RankRecorder(RankCheck* check, RankHistory* history, QObject* parent)
    : QObject(parent), m_history(history)
{
    connect(check, &RankCheck::rowFinished, this, &RankRecorder::rowFinished);
}

void RankRecorder::rowFinished(int row, const RankResult& finished)
{
    if (finished.kind == RankKind::Skipped && !m_keepSkipped)
        return;
    RankResult result = finished;
    std::optional<RankResult> previous;
    if (m_history) {
        previous = m_history->previous(result.engine, result.keyword, result.url);
        if (m_history->record(result)) {
            m_error.clear();
        } else {
            m_error = m_history->errorText();
            emit storeFailed(m_error);
        }
    }
    if (m_model && previous && result.kind != RankKind::Skipped)
        m_model->setChange(row, RankResults::change(result, previous), RankResults::changeTip(*previous));
    emit recorded(row, result, previous);
}
