#include "serial/HangUpWatch.h"

// Windows reports a device that went away as a resource error of the port itself.
std::unique_ptr<QObject> watchForHangUp(QSerialPort &, std::function<void()>)
{
    return nullptr;
}
