// SPDX-License-Identifier: MIT
#include "protocol/receive_framer.h"

#include "protocol/protocol.h"

bool ReceiveFramer::step(char c)
{
    if (c == protocol::FrameEnd) {
        frame_open = false;
        shown_body = rx_buffer;
        shown_length = rx_length;
        return true;
    }
    if (frame_open) {
        if (rx_length < MaxBody)
            rx_buffer[rx_length++] = c;
        return false;
    }
    if (c == protocol::FrameStart) {
        rx_length = 0;
        frame_open = true;
    }
    return false;
}

int ReceiveFramer::feed(QByteArrayView bytes)
{
    int ended = 0;
    for (char c : bytes)
        ended += step(c) ? 1 : 0;
    return ended;
}

void ReceiveFramer::dropOpenFrame()
{
    if (frame_open)
        rx_length = 0;
    frame_open = false;
}

void ReceiveFramer::reset()
{
    frame_open = false;
    rx_length = shown_length = 0;
}
