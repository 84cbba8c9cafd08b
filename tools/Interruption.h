#pragma once

#include <QDeadlineTimer>

// Ctrl+C, SIGTERM and SIGHUP end the program cleanly: instead of dying at once, every wait below
// returns early, and the caller unwinds so that destructors remove what the program set up.
namespace Interruption {

// Catches the signals from now on; once is enough.
void install();

// True once a signal has come; it stays true.
bool requested();

enum class Wait
{
    Ready,
    TimedOut,
    Interrupted
};

// Waits until fd has one of the poll events, or the deadline passes, or a signal comes. With fd
// -1 it waits for the deadline or a signal only.
Wait waitFor(int fd, short events, QDeadlineTimer deadline);

// False when a signal cut the sleep short.
bool sleepUntil(QDeadlineTimer deadline);

} // namespace Interruption
