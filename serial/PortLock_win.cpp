#include "serial/PortLock.h"

QString abandonedLockFile(const QString &)
{
    return {};
}

QString permissionRefusal(const QString &)
{
    return {};
}
