#pragma once

#include "submission/AutoSubmitEnginesPage.h"

#include <QSignalSpy>
#include <QTest>

// Starts the page's engine database load and waits until it has loaded.
// False when the load was refused, failed or did not end in time.
inline bool loadEngines(AutoSubmitEnginesPage& page, int timeoutMs = 60000)
{
    QSignalSpy loaded(&page, &AutoSubmitEnginesPage::databaseLoaded);
    if (!page.LoadEngineDatabase())
        return false;
    return loaded.wait(timeoutMs);
}

// Waits until no load runs on the page; false when one still runs after the time.
inline bool waitForEngines(AutoSubmitEnginesPage& page, int timeoutMs = 60000)
{
    return QTest::qWaitFor([&page] { return !page.listBusy(); }, timeoutMs);
}
