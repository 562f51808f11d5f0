// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <array>
#include <optional>

// The console control states of the main window, as a pure
// table: no widgets. The console state lives only in the Enabled flags of the
// eleven calibration controls; every action writes all eleven, in the fixed
// order below, and the two entry states clear their entry box right after
// enabling it.
namespace console {

enum class ConsoleState {
    Idle,
    Ready,
    FeedingZero,
    FeedingSpan,
    LowRangeEntry,
    HighRangeEntry,
};

inline constexpr int ConsoleStateCount = 6;
inline constexpr std::array<ConsoleState, ConsoleStateCount> AllConsoleStates = {
    ConsoleState::Idle,        ConsoleState::Ready,         ConsoleState::FeedingZero,
    ConsoleState::FeedingSpan, ConsoleState::LowRangeEntry, ConsoleState::HighRangeEntry,
};

// The eleven calibration controls, in the order in which every action writes
// their Enabled flags. The enumerator is the position in that order; the
// enumerators carry the controls' object names (the layout table ties each
// one to its row).
enum class CalibrationControl {
    Feed_Zero,
    Stop_Feed_zero,
    Save_cmd,
    Feed_span,
    Stop_Feed_span,
    Low_range_cmd,
    Low_range_text,
    Enter_L,
    High_range_cmd,
    High_range_text,
    Enter_H,
};

inline constexpr int CalibrationControlCount = 11;

constexpr int position(CalibrationControl control)
{
    return static_cast<int>(control);
}

using EnabledFlags = std::array<bool, CalibrationControlCount>;

// One row of the state table: the eleven Enabled flags and the entry box whose
// Text is set to "" right after it is enabled (none outside the entry states).
struct StateRow
{
    EnabledFlags enabled{};
    std::optional<CalibrationControl> clearedEntry;
};

StateRow stateRow(ConsoleState state);

// The state whose eleven flags these are; none when no state has them (the
// console never shows such a combination).
std::optional<ConsoleState> stateOf(const EnabledFlags &enabled);

// "Idle", "Ready", "Feeding zero", "Feeding span", "Low-range entry",
// "High-range entry": the names operators and manuals use.
QString stateName(ConsoleState state);

} // namespace console
