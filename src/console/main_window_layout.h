// SPDX-License-Identifier: MIT
#pragma once

#include "console/console_state.h"
#include "design/form.h"

#include <array>
#include <string_view>

// The fixed design of the main window Orvane, declared as data: the window,
// one row per control, one row per menu item. Orvane builds itself from these
// tables through design::buildForm().
namespace layout {

using K = design::ControlKind;
using S = design::SystemColor;

inline constexpr design::FormWindow MainWindow = {
    "Orvane", "Zelvor Electronics Pvt. Ltd.", 9675, 5850, S::InactiveBorder,
};

inline constexpr design::ControlFont Dialog = design::ownFont(design::FontRole::Dialog);
inline constexpr design::ControlFont Reading = design::ownFont(design::FontRole::ReadingBox);
inline constexpr design::ControlFont Entry = design::ownFont(design::FontRole::EntryBox);

// The control table, row by row (heading, readings, reading captions,
// zero, span, low range, high range, note). The serial control MSComm1 has no
// presence on screen and is not a widget here.
// clang-format off
inline constexpr std::array<design::FormControl, 21> MainWindowControls = {{
    // name                  kind              caption                       left   top  width height tab font     background         foreground max accessible name  index
    {"Label2",               K::Label,         "Current Settings",          {1200,  120, 1455, 255}, 13, Dialog,  S::InactiveBorder, S::Default, 0, nullptr,          -1},
    {"Zero_real",            K::TextBox,       "",                          {1200,  600, 1215, 615}, 12, Reading, S::ActiveBorder,   S::Window,  0, "Zero",           -1},
    {"Span_real",            K::TextBox,       "",                          {2760,  600, 1215, 615}, 11, Reading, S::ActiveBorder,   S::Default, 0, "Span",           -1},
    {"Low_range_real_txt",   K::TextBox,       "",                          {5520,  600, 1215, 615}, 10, Reading, S::ActiveBorder,   S::Default, 0, "Low Range",      -1},
    {"High_range_real_txt",  K::TextBox,       "",                          {7080,  600, 1215, 615},  9, Reading, S::ActiveBorder,   S::Default, 0, "High Range",     -1},
    {"Label3",               K::Label,         "  Zero",                    {1560, 1320,  615, 255}, 14, Dialog,  S::InactiveBorder, S::Default, 0, nullptr,          -1},
    {"Label4",               K::Label,         "  Span",                    {3000, 1320,  615, 255}, 15, Dialog,  S::InactiveBorder, S::Default, 0, nullptr,          -1},
    {"Label6",               K::Label,         "  Low Range",               {5640, 1320, 1095, 255}, 17, Dialog,  S::InactiveBorder, S::Default, 0, nullptr,          -1},
    {"Label5",               K::Label,         "  High Range",              {7200, 1320, 1095, 255}, 16, Dialog,  S::InactiveBorder, S::Default, 0, nullptr,          -1},
    {"Feed_Zero",            K::CommandButton, "Feed Zero For Calibration", {2280, 1920, 2175, 615},  0, Dialog,  S::Default,        S::Default, 0, nullptr,           0},
    {"Stop_Feed_zero",       K::CommandButton, "Stop Feed Zero",            {5040, 1920, 1815, 615},  1, Dialog,  S::Default,        S::Default, 0, nullptr,           1},
    {"Save_cmd",             K::CommandButton, "Save ",                     {7440, 1920, 1335, 495}, 20, Dialog,  S::Default,        S::Default, 0, nullptr,          -1},
    {"Feed_span",            K::CommandButton, "Feed span For Calibration", {2280, 2760, 2175, 615},  2, Dialog,  S::Default,        S::Default, 0, nullptr,           2},
    {"Stop_Feed_span",       K::CommandButton, "Stop Feed Span",            {5040, 2760, 1815, 615},  3, Dialog,  S::Default,        S::Default, 0, nullptr,           3},
    {"Low_range_cmd",        K::CommandButton, "Feed Low Range",            {2640, 3600, 1815, 615},  8, Dialog,  S::Default,        S::Default, 0, nullptr,           0},
    {"Low_range_text",       K::TextBox,       "",                          {5040, 3600, 1215, 615},  7, Entry,   S::Default,        S::Default, 4, "New low range",  -1},
    {"Enter_L",              K::CommandButton, "Enter",                     {6840, 3600, 1095, 615}, 19, Dialog,  S::Default,        S::Default, 0, nullptr,          -1},
    {"High_range_cmd",       K::CommandButton, "Feed High Range",           {2640, 4440, 1815, 615},  6, Dialog,  S::Default,        S::Default, 0, nullptr,           1},
    {"High_range_text",      K::TextBox,       "",                          {5040, 4440, 1215, 615},  5, Entry,   S::Default,        S::Default, 4, "New high range", -1},
    {"Enter_H",              K::CommandButton, "Enter",                     {6840, 4440, 1095, 615}, 18, Dialog,  S::Default,        S::Default, 0, nullptr,          -1},
    {"Label1",               K::Label,         "Note: Please Confirm the configuration switch.",
                                                                            { 240, 5400, 3615, 255},  4, Dialog,  S::InactiveBorder, S::Default, 0, nullptr,          -1},
}};
// clang-format on

// The eleven calibration controls by name, in their fixed order, and the four
// reading boxes in the order of the status fields, zero first.
inline constexpr std::array<const char *, console::CalibrationControlCount>
    CalibrationControlNames = {
        "Feed_Zero",      "Stop_Feed_zero",  "Save_cmd",       "Feed_span",
        "Stop_Feed_span", "Low_range_cmd",   "Low_range_text", "Enter_L",
        "High_range_cmd", "High_range_text", "Enter_H",
};
inline constexpr std::array<const char *, 4> ReadingBoxNames = {
    "Zero_real", "Span_real", "Low_range_real_txt", "High_range_real_txt"};

// Each of those names has exactly one row, of the kind the console takes it for.
template <std::size_t N>
constexpr bool eachNamedOnce(const std::array<const char *, N> &names, bool textBoxesOnly)
{
    for (const char *name : names) {
        int rows = 0;
        for (const design::FormControl &row : MainWindowControls) {
            if (std::string_view(row.name) == name &&
                (!textBoxesOnly || row.kind == design::ControlKind::TextBox))
                ++rows;
        }
        if (rows != 1)
            return false;
    }
    return true;
}
static_assert(eachNamedOnce(CalibrationControlNames, false));
static_assert(eachNamedOnce(ReadingBoxNames, true));

// The menu bar, left to right, one row per item; "&" marks the access key.
// No item has a shortcut of its own, none is a separator or a submenu.
struct MenuItemSpec
{
    const char *menuName;
    const char *menuCaption;
    const char *itemName;
    const char *itemCaption;
};

inline constexpr std::array<MenuItemSpec, 5> MainWindowMenu = {{
    {"mnuFile", "&File", "mnuFile_Exit", "E&xit"},
    {"mnuSetting", "&Setting", "mnuSetting_com_setting", "&Communication Settings"},
    {"mnuOperation", "&Operation", "mnuOperation_start_capture", "&Start Config."},
    {"mnuOperation", "&Operation", "mnuOperation_stop_capture", "S&top  Config."},
    {"Help", "&Help", "About_Menu", "&About"},
}};

} // namespace layout
