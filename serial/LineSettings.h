#pragma once

class QSerialPort;

// The instrument's line: 19200 baud, 8 data bits, no parity, 1 stop bit, no flow control. Set in
// both directions: Linux keeps one line speed, which the output speed (9600 by default) would
// otherwise set.
void setInstrumentLine(QSerialPort &port);
