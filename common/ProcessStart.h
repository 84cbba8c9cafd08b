#pragma once

#include <chrono>

// When this process was started, on the steady clock: before the system loaded its libraries, not
// when main was reached. Where the system does not say, the moment of the call.
std::chrono::steady_clock::time_point processStart();
