#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QSerialPort;

// Calls onHangUp, from the event loop, once the device behind the open port has hung up: its
// cable pulled, its adapter gone. Qt's serial port reports that as a read error on some versions
// and not at all on others, where the port would stay open and keep waking the program. Where Qt
// always reports it itself (Windows) there is nothing to watch and no object. The watch goes
// before the port closes; after that, onHangUp is not called.
std::unique_ptr<QObject> watchForHangUp(QSerialPort &port, std::function<void()> onHangUp);
