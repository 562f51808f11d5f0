#pragma once

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

// The device path behind "Com N". Windows: "COMN". Elsewhere "/dev/comN" when
// that path exists (an administrator's alias, such as a udev SYMLINK for a USB
// adapter), otherwise "/dev/ttyS(N-1)".
QString defaultPortName(int portNumber);

// Tests and tools put their own mapping here; an empty function restores the default.
using PortNameResolver = std::function<QString(int portNumber)>;
void setPortNameResolver(PortNameResolver resolver);
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
