// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>

#include <array>

// Turns the characters arriving from the instrument into status frames.
//
// "$" ends a frame whether or not one is open (the instrument has answered);
// inside an open frame every other character, "#" included, is body; outside a
// frame "#" opens one (emptying the body) and everything else is dropped.
// Between frames the body of the last frame stays, so a lone "$" shows it again.
class ReceiveFramer
{
public:
    // One character; true when it ended a frame (whose body is then shownBody()).
    bool step(char c);

    // Every byte of one receive notification, in order. Returns how many frames
    // ended; shownBody() is then the body of the last of them.
    int feed(QByteArrayView bytes);

    // The body that the reading boxes show after the last "$" (empty before
    // the first one).
    QByteArrayView shownBody() const { return {shown_body.data(), shown_length}; }

    bool frameOpen() const { return frame_open; }
    QByteArrayView body() const { return {rx_buffer.data(), rx_length}; }

    // The port closed: a partial body must not be spliced into the next run's
    // first frame. The last completed body is kept (shownBody()).
    void dropOpenFrame();

    // A new run begins as the program does: no frame open and no last body,
    // so a lone "$" before the run's first frame empties the boxes.
    void reset();

    // Only the first 16 body characters are ever shown, so no more are kept:
    // a stream that never sends "$" cannot grow memory.
    static constexpr int MaxBody = 16;

private:
    bool frame_open = false;
    std::array<char, MaxBody> rx_buffer{};
    qsizetype rx_length = 0;
    std::array<char, MaxBody> shown_body{};
    qsizetype shown_length = 0;
};
