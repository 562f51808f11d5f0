// SPDX-License-Identifier: MIT
#include "console/console_state.h"

#include <iterator>

namespace console {

namespace {

using C = CalibrationControl;

EnabledFlags only(std::initializer_list<CalibrationControl> on)
{
    EnabledFlags flags{};
    for (CalibrationControl control : on)
        flags[position(control)] = true;
    return flags;
}

} // namespace

StateRow stateRow(ConsoleState state)
{
    switch (state) {
    case ConsoleState::Idle:
        return {only({}), std::nullopt};
    case ConsoleState::Ready:
        return {
            only({C::Feed_Zero, C::Save_cmd, C::Feed_span, C::Low_range_cmd, C::High_range_cmd}),
            std::nullopt};
    case ConsoleState::FeedingZero:
        return {only({C::Stop_Feed_zero}), std::nullopt};
    case ConsoleState::FeedingSpan:
        return {only({C::Stop_Feed_span}), std::nullopt};
    case ConsoleState::LowRangeEntry:
        return {only({C::Low_range_text, C::Enter_L}), C::Low_range_text};
    case ConsoleState::HighRangeEntry:
        return {only({C::High_range_text, C::Enter_H}), C::High_range_text};
    }
    return {};
}

std::optional<ConsoleState> stateOf(const EnabledFlags &enabled)
{
    for (ConsoleState state : AllConsoleStates) {
        if (stateRow(state).enabled == enabled)
            return state;
    }
    return std::nullopt;
}

QString stateName(ConsoleState state)
{
    static constexpr const char *Names[] = {
        "Idle", "Ready", "Feeding zero", "Feeding span", "Low-range entry", "High-range entry",
    };
    static_assert(std::size(Names) == ConsoleStateCount, "a name for every state");
    return QString::fromLatin1(Names[static_cast<int>(state)]);
}

} // namespace console
