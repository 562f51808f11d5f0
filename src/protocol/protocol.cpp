// SPDX-License-Identifier: MIT
#include "protocol/protocol.h"

namespace protocol {

QByteArray commandFrame(Command command)
{
    const char frame[] = {FrameStart, static_cast<char>(command), FrameEnd};
    return QByteArray(frame, sizeof frame);
}

std::array<QByteArray, 3> valueFrameWrites(ValueTarget target, const QString &text)
{
    const char head[] = {FrameStart, static_cast<char>(target)};
    return {QByteArray(head, sizeof head), text.toLatin1(), QByteArray(1, FrameEnd)};
}

WrittenFrame readWrittenFrame(QByteArrayView frame)
{
    WrittenFrame read;
    if (frame.size() < 3 || frame.front() != FrameStart || frame.back() != FrameEnd)
        return read;
    const char code = frame[1];
    if (code == char(ValueTarget::LowRange) || code == char(ValueTarget::HighRange)) {
        read.range = ValueTarget(code);
        read.value = frame.sliced(2, frame.size() - 3);
        return read;
    }
    for (Command command : {Command::StartConfig, Command::FeedZero, Command::StopFeedZero,
                            Command::FeedSpan, Command::StopFeedSpan, Command::Save}) {
        if (frame.size() == 3 && code == char(command))
            read.command = command;
    }
    return read;
}

bool isSendableValueChar(QChar c)
{
    const char16_t u = c.unicode();
    if (u > 0xFF)
        return false; // no single-byte form: it would reach the instrument altered
    if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
        return false;
    return u != FrameStart && u != FrameEnd;
}

StatusFields splitStatusBody(QByteArrayView body)
{
    const QLatin1String text(body.data(), body.size());
    auto field = [text](int k) { return text.mid(k * FieldWidth, FieldWidth).toString(); };
    return {field(0), field(1), field(2), field(3)};
}

QByteArray statusFrame(const StatusFields &fields)
{
    QByteArray frame;
    frame.reserve(StatusBodyLength + 2);
    frame.append(FrameStart);
    for (const QString *field : {&fields.zero, &fields.span, &fields.lowRange, &fields.highRange})
        frame.append(field->left(FieldWidth).toLatin1().leftJustified(FieldWidth, ' '));
    frame.append(FrameEnd);
    return frame;
}

} // namespace protocol
