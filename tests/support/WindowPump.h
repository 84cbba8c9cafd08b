#pragma once

#include "app/MainWindow.h"

#include <QTest>

// Dispatches events and polls the port as the receive loop does, until the condition holds or
// ten seconds have passed (a failure of the calling test).
template <typename Condition> void pumpUntil(MainWindow &window, Condition condition)
{
    Main &main = window.main();
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            window.processEvents(false);
            main.pollPort();
            return condition();
        }(),
        10000);
}
