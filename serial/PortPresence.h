#pragma once

#include <QList>
#include <QObject>

#include <functional>
#include <memory>

// The ports whose device is there now, in ascending order: plugged in, whether or not it opens.
// Nothing is opened to tell.
QList<qint16> presentPorts();

// Calls onChange, from the event loop, a moment after devices may have come or gone, for as long
// as the object lives. Bursts of changes come as one call.
std::unique_ptr<QObject> watchPortPresence(std::function<void()> onChange);
