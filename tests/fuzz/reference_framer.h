// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <string>

// The receiving rules written out plainly, one character at a time, with a body
// that grows without bound: what the four reading boxes must show for any byte
// stream. Kept apart from the console's framer so the two can disagree.
struct ReferenceFramer
{
    bool in_frame = false;
    std::string body;
    // zero, span, low range, high range as last shown.
    std::array<std::string, 4> shown;

    // True when c ended a frame (and the boxes were written).
    bool take(char c)
    {
        if (c == '$') {
            in_frame = false;
            for (std::size_t k = 0; k < shown.size(); ++k)
                shown[k] = body.size() > 4 * k ? body.substr(4 * k, 4) : std::string();
            return true;
        }
        if (in_frame) {
            body += c;
        } else if (c == '#') {
            body.clear();
            in_frame = true;
        }
        return false;
    }
};
