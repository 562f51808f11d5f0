// SPDX-License-Identifier: MIT
#include "sim/instrument.h"

namespace {

// Cut or padded to one field.
QString fitField(const QString &value)
{
    return value.left(protocol::FieldWidth).leftJustified(protocol::FieldWidth, QLatin1Char(' '));
}

QString outputName(Instrument::Output output)
{
    return output == Instrument::Output::Zero ? QStringLiteral("zero") : QStringLiteral("span");
}

} // namespace

Instrument::Instrument(QObject *parent) : QObject(parent)
{
    setSettings({QStringLiteral("4.00"), QStringLiteral("20.0"), QStringLiteral("0.00"),
                 QStringLiteral("10.0")});
    connect(&period_timer, &QTimer::timeout, this, &Instrument::sendStatus);
    connect(&feed_timer, &QTimer::timeout, this, &Instrument::sendStatus);
    connect(&split_delay, &QTimer::timeout, this, &Instrument::sendNextPiece);
}

void Instrument::setSettings(const protocol::StatusFields &fields)
{
    current = {fitField(fields.zero), fitField(fields.span), fitField(fields.lowRange),
               fitField(fields.highRange)};
    saved = current;
}

void Instrument::setPeriod(int ms)
{
    period_timer.stop();
    if (ms > 0)
        period_timer.start(ms);
}

void Instrument::setFeedPeriod(int ms)
{
    feed_timer.setInterval(qMax(0, ms));
    if (ms <= 0)
        feed_timer.stop();
    else if (feed_output != Output::None)
        feed_timer.start();
}

void Instrument::receive(QByteArrayView bytes)
{
    QByteArray outside;
    for (char c : bytes) {
        // Outside a frame all but "#" is dropped, "$" too: the console's framer
        // would show the last frame again for one, but an instrument must not
        // repeat the last command.
        if (!framer.frameOpen() && c != protocol::FrameStart) {
            outside.append(c);
        } else if (framer.step(c)) {
            if (!outside.isEmpty())
                emit dropped(std::exchange(outside, {}));
            const QByteArray body = framer.shownBody().toByteArray();
            emit frameReceived(protocol::FrameStart + body + protocol::FrameEnd);
            onFrame(body);
        }
    }
    if (!outside.isEmpty())
        emit dropped(outside);
}

void Instrument::onFrame(QByteArrayView body)
{
    const char command = body.isEmpty() ? '\0' : body.front();
    const QString value = QString::fromLatin1(body.sliced(qMin<qsizetype>(1, body.size())));
    const bool fixed = body.size() == 1;
    if (fixed && command == '1') {
        emit note(QStringLiteral("status requested"));
        sendStatus();
    } else if (fixed && command == '2') {
        startFeed(Output::Zero);
    } else if (fixed && command == '3') {
        stopFeed(Output::Zero);
    } else if (fixed && command == '4') {
        startFeed(Output::Span);
    } else if (fixed && command == '5') {
        stopFeed(Output::Span);
    } else if (command == '6' || command == '7') {
        QString &field = command == '6' ? current.lowRange : current.highRange;
        field = fitField(value);
        emit note(QStringLiteral("%1 range set to \"%2\"")
                      .arg(command == '6' ? QStringLiteral("low") : QStringLiteral("high"), field));
        sendStatus();
    } else if (fixed && command == '8') {
        saved = current;
        emit note(QStringLiteral("settings saved: zero \"%1\", span \"%2\", low range \"%3\", "
                                 "high range \"%4\"")
                      .arg(saved.zero, saved.span, saved.lowRange, saved.highRange));
        sendStatus();
    } else {
        emit note(QStringLiteral("unknown command, ignored"));
    }
}

void Instrument::startFeed(Output output)
{
    if (feed_output == output) {
        emit note(QStringLiteral("already feeding the %1 output").arg(outputName(output)));
        return;
    }
    if (feed_output != Output::None)
        emit note(QStringLiteral("%1 output stopped").arg(outputName(feed_output)));
    feed_output = output;
    emit note(QStringLiteral("FEEDING the %1 output (%1 \"%2\")")
                  .arg(outputName(output), output == Output::Zero ? current.zero : current.span));
    if (feed_timer.interval() > 0)
        feed_timer.start();
}

void Instrument::stopFeed(Output output)
{
    if (feed_output != output) {
        emit note(
            QStringLiteral("not feeding the %1 output, nothing to stop").arg(outputName(output)));
        return;
    }
    feed_output = Output::None;
    feed_timer.stop();
    emit note(QStringLiteral("%1 output stopped").arg(outputName(output)));
}

void Instrument::sendStatus()
{
    const QByteArray frame = protocol::statusFrame(current);
    QByteArray out;
    for (int i = 0; i < flood_count; ++i) {
        for (int n = 0; n < noise_count; ++n) {
            char c;
            do {
                c = char(noise_source.bounded(256));
            } while (c == protocol::FrameStart || c == protocol::FrameEnd);
            out.append(c);
        }
        out.append(frame);
    }
    queue(out);
}

void Instrument::queue(const QByteArray &bytes)
{
    emit sent(bytes);
    if (split_delay.interval() == 0) {
        emit transmit(bytes);
        return;
    }
    split_pending.append(bytes);
    if (!split_delay.isActive()) {
        sendNextPiece();
        split_delay.start();
    }
}

void Instrument::sendNextPiece()
{
    if (split_pending.isEmpty()) {
        split_delay.stop();
        return;
    }
    emit transmit(split_pending.left(1));
    split_pending.remove(0, 1);
}
