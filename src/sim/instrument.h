// SPDX-License-Identifier: MIT
#pragma once

#include "protocol/protocol.h"
#include "protocol/receive_framer.h"

#include <QByteArray>
#include <QObject>
#include <QRandomGenerator>
#include <QTimer>

// The instrument's behaviour on the line, without any terminal or port: bytes
// from the console go in through receive(), bytes for the console come out of
// transmit(). Fields are kept as 4 characters each: a value longer than that is
// cut after its fourth character, a shorter one is padded with blanks on the
// right ("12" is kept as "12  ").
class Instrument : public QObject
{
    Q_OBJECT
public:
    enum class Output { None, Zero, Span };

    explicit Instrument(QObject *parent = nullptr);

    void setSettings(const protocol::StatusFields &fields);
    const protocol::StatusFields &settings() const { return current; }
    // What the last "#8$" stored (the start values until then).
    const protocol::StatusFields &savedSettings() const { return saved; }
    Output feeding() const { return feed_output; }

    // A status frame every `ms` whatever happens (0: only in answer).
    void setPeriod(int ms);
    // A status frame every `ms` while an output is fed (0: none).
    void setFeedPeriod(int ms);
    // `count` random characters that are neither "#" nor "$" before every frame.
    void setNoise(int count) { noise_count = qMax(0, count); }
    // Every frame goes out one character at a time, `ms` apart (0: whole).
    void setSplitDelay(int ms) { split_delay.setInterval(qMax(0, ms)); }
    // Every status frame goes out `count` times back to back.
    void setFlood(int count) { flood_count = qMax(1, count); }

    // Bytes from the console, in order of arrival.
    void receive(QByteArrayView bytes);
    // Sends one status frame (with noise, split and flood as set).
    void sendStatus();

signals:
    // Bytes to write to the line, in order.
    void transmit(const QByteArray &bytes);
    // What goes out, as a whole, before any splitting.
    void sent(const QByteArray &bytes);
    // A whole command frame from the console, "#" and "$" included.
    void frameReceived(const QByteArray &frame);
    // Characters outside any frame (noise, or a "$" with no frame open).
    void dropped(const QByteArray &bytes);
    // What the instrument does, in words for its terminal.
    void note(const QString &text);

private:
    void onFrame(QByteArrayView body);
    void startFeed(Output output);
    void stopFeed(Output output);
    void queue(const QByteArray &bytes);
    void sendNextPiece();

    protocol::StatusFields current;
    protocol::StatusFields saved;
    Output feed_output = Output::None;
    ReceiveFramer framer;

    QTimer period_timer;
    QTimer feed_timer;
    int noise_count = 0;
    int flood_count = 1;
    QTimer split_delay;
    QByteArray split_pending;
    QRandomGenerator noise_source{0x5a17};
};
