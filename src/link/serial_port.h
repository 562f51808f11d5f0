#pragma once

#include "link/port_map.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <functional>

// What went wrong with the port, ready to show to the operator.
struct PortError
{
    int number = 0; // QSerialPort::SerialPortError
    QString description;
    QString portName;
};

// Tests and tools put their own mapping here; an empty function restores the
// installed PortMap. A target with an error is not opened: open() fails with it.
using PortNameResolver = std::function<PortTarget(int portNumber)>;
void setPortNameResolver(PortNameResolver resolver);
PortTarget portTargetFor(int portNumber);
// The device path behind "Com N".
QString portNameFor(int portNumber);

// The one owner of the serial line: fixed line settings (19200 baud, 8 data
// bits, no parity, 1 stop bit, no flow control, raw), writes queued in call
// order, receive notifications on the thread that owns it. A read, write or
// resource error while open closes the port at once and is reported once.
class SerialPort : public QObject
{
    Q_OBJECT
public:
    static constexpr qint32 BaudRate = 19200;

    explicit SerialPort(QObject *parent = nullptr);
    ~SerialPort() override;

    // Takes effect at the next open().
    void setPortNumber(qint16 portNumber) { port_number = portNumber; }
    qint16 portNumber() const { return port_number; }

    // False when the port cannot be opened; lastError() says why.
    bool open();
    bool isOpen() const { return port.isOpen(); }
    const PortError &lastError() const { return last_error; }

    // What is still queued goes out first.
    void close();

    // Queues the bytes; they go out after those of earlier writes.
    void write(QByteArrayView bytes);

    // Every byte waiting, in order of arrival.
    QByteArray read() { return port.readAll(); }

    QString portName() const { return port.portName(); }

signals:
    // Bytes wait to be read.
    void received();
    // The port failed while open and has been closed.
    void failed(const PortError &error);

private:
    void onError(QSerialPort::SerialPortError error);
    PortError errorNow(int number) const;

    QSerialPort port;
    qint16 port_number = 1;
    PortError last_error;
};
