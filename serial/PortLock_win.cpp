#include "serial/PortLock.h"

QString portLockFile(const QString &)
{
    return {};
}

QString permissionRefusal(const QString &)
{
    return {};
}
