#include "app/TerminationSignals.h"

// Windows ends a desktop session through the session manager's request, which the window takes
// itself; a windowed program gets no termination signals to catch.
TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent) {}

TerminationSignals::~TerminationSignals() = default;
