#include "serial/PortLock.h"

QString abandonedLockFile(const QString &)
{
    return {};
}

QString refusalReason(const QString &)
{
    return QStringLiteral(" is held by another program; close that program.");
}
