// SPDX-License-Identifier: MIT
// Arbitrary bytes, cut into arbitrary receive notifications, through the
// console's framer and field split, both one character at a time and one
// notification at a time (the reading boxes then show only the last frame).
// Every frame end and every frame shown must match the plain reference.

#include "protocol/protocol.h"
#include "protocol/receive_framer.h"
#include "reference_framer.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

namespace {

QString latin1(const std::string &bytes)
{
    QString s;
    for (char c : bytes)
        s.append(QChar(static_cast<unsigned char>(c)));
    return s;
}

void expect(bool ok, const char *what, std::size_t offset)
{
    if (ok)
        return;
    std::fprintf(stderr, "mismatch with the reference at byte %zu: %s\n", offset, what);
    std::abort();
}

void expectShown(const protocol::StatusFields &f, const ReferenceFramer &ref, const char *path,
                 std::size_t offset)
{
    const bool same = f.zero == latin1(ref.shown[0]) && f.span == latin1(ref.shown[1]) &&
                      f.lowRange == latin1(ref.shown[2]) && f.highRange == latin1(ref.shown[3]);
    expect(same, path, offset);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    ReceiveFramer stepped;
    ReceiveFramer batched;
    ReferenceFramer ref;
    std::size_t offset = 0;

    while (input.remaining_bytes() > 0) {
        // The split comes from the input's tail, the bytes from its head.
        const std::string notification =
            input.ConsumeBytesAsString(input.ConsumeIntegral<std::uint8_t>());

        int refEnded = 0;
        for (char c : notification) {
            const bool ended = ref.take(c);
            expect(stepped.step(c) == ended, "step: frame end", offset);
            if (ended) {
                ++refEnded;
                expectShown(protocol::splitStatusBody(stepped.shownBody()), ref, "step: fields",
                            offset);
            }
            ++offset;
        }

        const QByteArrayView bytes(notification.data(), qsizetype(notification.size()));
        expect(batched.feed(bytes) == refEnded, "feed: frames ended", offset);
        if (refEnded > 0)
            expectShown(protocol::splitStatusBody(batched.shownBody()), ref, "feed: fields",
                        offset);
        expect(batched.frameOpen() == ref.in_frame, "feed: frame open", offset);
    }
    return 0;
}
