#include "serial/PortLock.h"

QString portLockFile(const QString &)
{
    return {};
}

QString abandonedLockFile(const QString &)
{
    return {};
}
