#include "common/ProcessStart.h"

std::chrono::steady_clock::time_point processStart()
{
    return std::chrono::steady_clock::now();
}
