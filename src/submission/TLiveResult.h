#pragma once

#include <QWidget>

// The "Submit Options" window: the run's time-out and parallel requests, and
// the owner of the submission run's live requests.
class TLiveResult : public QWidget
{
    Q_OBJECT

public:
    explicit TLiveResult(QWidget* parent = nullptr);
};
