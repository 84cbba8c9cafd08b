#pragma once

#include "support/BoxResponder.h"
#include "support/Instrument.h"
#include "support/TestWindow.h"

#include <memory>

// The real window as a test of it starts: a folder of stand-in devices, a user who answers the
// message boxes as they come, and the window itself in a program folder of its own (a test may
// put another in its place before it starts it).
struct RealTool
{
    DeviceFolder devices;
    BoxResponder responder;
    std::unique_ptr<TestWindow> window = std::make_unique<TestWindow>();
};
