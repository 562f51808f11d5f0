// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <optional>

// The character protocol spoken with the instrument. Every character travels
// as one byte (Latin-1 both ways), frames run from "#" to "$".
namespace protocol {

// The line: 19200 baud, 8 data bits, no parity, one stop bit.
inline constexpr int BaudRate = 19200;
// Start, 8 data and stop bit.
inline constexpr int BitsPerCharacter = 10;
// How long a port that closes, or a stop at the last moment, waits for what
// is queued to leave: a stalled line must not hang the console. 512 queued
// bytes take about a quarter of a second.
inline constexpr int DrainMs = 1000;

inline constexpr char FrameStart = '#';
inline constexpr char FrameEnd = '$';

// The command is the digit after "#".
enum class Command : char {
    StartConfig = '1',
    FeedZero = '2',
    StopFeedZero = '3',
    FeedSpan = '4',
    StopFeedSpan = '5',
    Save = '8',
};

// The fixed frames "#1$" .. "#5$" and "#8$", each written whole in one write.
QByteArray commandFrame(Command command);

enum class ValueTarget : char {
    LowRange = '6',
    HighRange = '7',
};

// A value frame goes out as three writes: the head "#6" or "#7", the text as
// typed (one byte per character), the tail "$".
std::array<QByteArray, 3> valueFrameWrites(ValueTarget target, const QString &text);

// A frame the console wrote, read back (from a record): its command, or the
// range and the text of a value frame; neither for anything else.
struct WrittenFrame
{
    std::optional<Command> command;
    std::optional<ValueTarget> range;
    QByteArrayView value;
};
WrittenFrame readWrittenFrame(QByteArrayView frame);

// True when every character of text has a single-byte form and is neither a
// frame delimiter nor a control character: what an entry box may hold.
bool isSendableValueChar(QChar c);

// The four 4-character fields of a status body, each exactly as received.
struct StatusFields
{
    QString zero;
    QString span;
    QString lowRange;
    QString highRange;

    friend bool operator==(const StatusFields &a, const StatusFields &b)
    {
        return a.zero == b.zero && a.span == b.span && a.lowRange == b.lowRange &&
               a.highRange == b.highRange;
    }
};

inline constexpr int FieldWidth = 4;
inline constexpr int FieldCount = 4;
inline constexpr int StatusBodyLength = FieldWidth * FieldCount;

// Field k takes body positions 4k+1 .. 4k+4 where they exist; a field past the
// end of the body is empty and characters after the 16th are ignored.
StatusFields splitStatusBody(QByteArrayView body);

// The instrument's side: "#", the four fields, "$". Each field is cut or padded
// with blanks on the right to 4 characters, so that it lands in its own box.
QByteArray statusFrame(const StatusFields &fields);

} // namespace protocol
