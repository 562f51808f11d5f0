// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

// The run record's format, for the one that writes it, the one that reads it
// back for a sheet, and the last-moment stop that may end it: CSV, lines
// ending in CR LF, local time with milliseconds and the offset from UTC
// ("2026-12-07T14:03:27.123+01:00"; UTC itself is "+00:00").
namespace recordformat {

inline constexpr std::string_view Columns[] = {"time", "event",     "detail",    "zero",
                                               "span", "low_range", "high_range"};
inline constexpr int ColumnCount = int(std::size(Columns));
inline constexpr std::string_view HeaderLine =
    "time,event,detail,zero,span,low_range,high_range\r\n";
inline constexpr std::string_view LineEnd = "\r\n";
// The four reading columns of a line that carries no reading.
inline constexpr std::string_view NoReading = ",,,,";

// The first column: Qt's format for the local time, then the offset as +hh:mm.
inline constexpr std::string_view TimeFormat = "yyyy-MM-dd'T'HH:mm:ss.zzz";
inline constexpr int TimeLength = 29;

// The events, the second column.
inline constexpr std::string_view Start = "start";
inline constexpr std::string_view Console = "console";
inline constexpr std::string_view Computer = "computer";
inline constexpr std::string_view Account = "account";
inline constexpr std::string_view Reading = "reading";
inline constexpr std::string_view Sent = "sent";
inline constexpr std::string_view Unsent = "unsent";
inline constexpr std::string_view Refused = "refused";
inline constexpr std::string_view End = "end";

constexpr bool headerMatchesColumns()
{
    std::string_view rest = HeaderLine;
    for (int i = 0; i < ColumnCount; ++i) {
        const std::string_view end = i + 1 < ColumnCount ? std::string_view(",") : LineEnd;
        if (rest.substr(0, Columns[i].size()) != Columns[i] ||
            rest.substr(Columns[i].size(), end.size()) != end)
            return false;
        rest.remove_prefix(Columns[i].size() + end.size());
    }
    return rest.empty();
}
static_assert(headerMatchesColumns(), "the header line names the columns in order");
static_assert(NoReading.size() == ColumnCount - 3, "one comma before each reading column");

} // namespace recordformat
