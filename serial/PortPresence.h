#pragma once

#include <QObject>

#include <functional>
#include <memory>

// Whether the device behind a port number is there now: plugged in, whether or not it opens.
// Nothing is opened to tell.
bool isPortPresent(qint16 port);

// Calls onChange, from the event loop, a moment after devices may have come or gone, for as long
// as the object lives. Bursts of changes come as one call.
std::unique_ptr<QObject> watchPortPresence(std::function<void()> onChange);
