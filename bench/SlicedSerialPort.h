#pragma once

#include "serial/SerialPortService.h"

#include <QByteArray>

#include <algorithm>
#include <limits>

// A port that serves one upload in reads of a fixed size, one read per poll. Each read is a view
// into the upload, so 16M one-byte reads cost no memory of their own.
class SlicedSerialPort : public SerialPortService
{
public:
    SlicedSerialPort(const QByteArray &characters, qsizetype readBytes)
        : m_characters(characters), m_readBytes(readBytes)
    {}

    bool allRead() const { return m_next == m_characters.size(); }

    void setCommPort(qint16 port) override { m_commPort = port; }
    qint16 CommPort() const override { return m_commPort; }
    bool PortOpen() const override { return true; }
    void setPortOpen(bool) override {}
    qint16 InBufferCount() override
    {
        return static_cast<qint16>(
            std::min<qsizetype>(nextReadSize(), std::numeric_limits<qint16>::max()));
    }
    QByteArray Input() override
    {
        const qsizetype size = nextReadSize();
        const QByteArray read = QByteArray::fromRawData(m_characters.constData() + m_next, size);
        m_next += size;
        return read;
    }
    bool takeDeviceLoss() override { return false; }
    QString describePort(qint16) const override { return {}; }

private:
    qsizetype nextReadSize() const { return std::min(m_readBytes, m_characters.size() - m_next); }

    const QByteArray &m_characters;
    qsizetype m_readBytes;
    qsizetype m_next = 0;
    qint16 m_commPort = 1;
};
