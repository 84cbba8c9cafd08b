#include "app/TerminationSignals.h"

#include <QMetaObject>

#include <mutex>
#include <windows.h>

namespace {

// The instance that the console's requests reach. The system calls the handler on a thread of
// its own, so the request crosses to the instance's thread as a queued call.
std::mutex g_lock;
TerminationSignals *g_newest = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event)
{
    // Closing the console, logging off and shutting down end the process once the handler
    // returns, whatever it answers: they keep the default handling.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    const std::lock_guard lock(g_lock);
    if (!g_newest)
        return FALSE;
    QMetaObject::invokeMethod(g_newest, &TerminationSignals::requested, Qt::QueuedConnection);
    return TRUE;
}

} // namespace

// A windowed program has no console, and the desktop session's end reaches the window itself;
// a program attached to a console gets Ctrl+C and Ctrl+Break from it.
TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    const std::lock_guard lock(g_lock);
    if (!g_newest)
        SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    g_newest = this;
}

TerminationSignals::~TerminationSignals()
{
    const std::lock_guard lock(g_lock);
    // A newer instance keeps the handler for itself.
    if (g_newest != this)
        return;
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    g_newest = nullptr;
}
