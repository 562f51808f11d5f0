// SPDX-License-Identifier: MIT
#pragma once

#include "console/console_state.h"
#include "design/design.h"

#include <array>

// The fixed design of the main window Orvane, declared as data: the window,
// one row per control, one row per menu item. Orvane builds itself from these
// tables; the tests check the built window against them. Sizes are twips and
// colours and fonts the design's own (design/design.h).
namespace layout {

using design::FontRole;
using design::SystemColor;
using design::TwipsRect;

enum class Kind {
    Label,
    TextBox,
    CommandButton,
};

// What the console does with a control beyond showing it: one of the eleven
// calibration controls (its place in the fixed order of the state table), or
// one of the four reading boxes (the status field it shows, zero first).
struct ControlRole
{
    enum Kind { None, Calibration, Reading };
    Kind kind = None;
    int position = -1;
};

constexpr ControlRole calibration(console::CalibrationControl control)
{
    return {ControlRole::Calibration, console::position(control)};
}

constexpr ControlRole reading(int field)
{
    return {ControlRole::Reading, field};
}

struct ControlSpec
{
    const char *name; // Qt object name, as designed
    Kind kind;
    int index;           // element index of a one-element control array, -1 if none
    const char *caption; // exact, blanks included; empty for text boxes
    TwipsRect rect;      // inside the client area
    int tabOrder;        // 0 first; labels hold places but take no focus
    FontRole font;
    SystemColor background;
    SystemColor foreground;
    int maxLength;              // characters; 0 for no limit
    const char *accessibleName; // what a screen reader says; nullptr: the caption
    ControlRole role;
};

struct WindowSpec
{
    const char *title;
    int clientWidth;  // twips
    int clientHeight; // twips
    SystemColor background;
};

inline constexpr WindowSpec MainWindow = {
    "Zelvor Electronics Pvt. Ltd.",
    9675,
    5850,
    SystemColor::InactiveBorder,
};

using K = Kind;
using F = FontRole;
using S = SystemColor;
using C = console::CalibrationControl;
constexpr ControlRole None{};

// The control table, row by row (heading, readings, reading captions,
// zero, span, low range, high range, note). The serial control MSComm1 has no
// presence on screen and is not a widget here.
// clang-format off
inline constexpr std::array<ControlSpec, 21> MainWindowControls = {{
    // name                  kind              idx caption                       left   top  width height tab font          background            foreground   max  accessible name   role
    {"Label2",               K::Label,         -1, "Current Settings",          {1200,  120, 1455, 255}, 13, F::Dialog,     S::InactiveBorder,    S::Default,  0, nullptr,          None},
    {"Zero_real",            K::TextBox,       -1, "",                          {1200,  600, 1215, 615}, 12, F::ReadingBox, S::ActiveBorder,      S::Window,   0, "Zero",           reading(0)},
    {"Span_real",            K::TextBox,       -1, "",                          {2760,  600, 1215, 615}, 11, F::ReadingBox, S::ActiveBorder,      S::Default,  0, "Span",           reading(1)},
    {"Low_range_real_txt",   K::TextBox,       -1, "",                          {5520,  600, 1215, 615}, 10, F::ReadingBox, S::ActiveBorder,      S::Default,  0, "Low Range",      reading(2)},
    {"High_range_real_txt",  K::TextBox,       -1, "",                          {7080,  600, 1215, 615},  9, F::ReadingBox, S::ActiveBorder,      S::Default,  0, "High Range",     reading(3)},
    {"Label3",               K::Label,         -1, "  Zero",                    {1560, 1320,  615, 255}, 14, F::Dialog,     S::InactiveBorder,    S::Default,  0, nullptr,          None},
    {"Label4",               K::Label,         -1, "  Span",                    {3000, 1320,  615, 255}, 15, F::Dialog,     S::InactiveBorder,    S::Default,  0, nullptr,          None},
    {"Label6",               K::Label,         -1, "  Low Range",               {5640, 1320, 1095, 255}, 17, F::Dialog,     S::InactiveBorder,    S::Default,  0, nullptr,          None},
    {"Label5",               K::Label,         -1, "  High Range",              {7200, 1320, 1095, 255}, 16, F::Dialog,     S::InactiveBorder,    S::Default,  0, nullptr,          None},
    {"Feed_Zero",            K::CommandButton,  0, "Feed Zero For Calibration", {2280, 1920, 2175, 615},  0, F::Dialog,     S::Default,           S::Default,  0, nullptr,          calibration(C::Feed_Zero)},
    {"Stop_Feed_zero",       K::CommandButton,  1, "Stop Feed Zero",            {5040, 1920, 1815, 615},  1, F::Dialog,     S::Default,           S::Default,  0, nullptr,          calibration(C::Stop_Feed_zero)},
    {"Save_cmd",             K::CommandButton, -1, "Save ",                     {7440, 1920, 1335, 495}, 20, F::Dialog,     S::Default,           S::Default,  0, nullptr,          calibration(C::Save_cmd)},
    {"Feed_span",            K::CommandButton,  2, "Feed span For Calibration", {2280, 2760, 2175, 615},  2, F::Dialog,     S::Default,           S::Default,  0, nullptr,          calibration(C::Feed_span)},
    {"Stop_Feed_span",       K::CommandButton,  3, "Stop Feed Span",            {5040, 2760, 1815, 615},  3, F::Dialog,     S::Default,           S::Default,  0, nullptr,          calibration(C::Stop_Feed_span)},
    {"Low_range_cmd",        K::CommandButton,  0, "Feed Low Range",            {2640, 3600, 1815, 615},  8, F::Dialog,     S::Default,           S::Default,  0, nullptr,          calibration(C::Low_range_cmd)},
    {"Low_range_text",       K::TextBox,       -1, "",                          {5040, 3600, 1215, 615},  7, F::EntryBox,   S::Default,           S::Default,  4, "New low range",  calibration(C::Low_range_text)},
    {"Enter_L",              K::CommandButton, -1, "Enter",                     {6840, 3600, 1095, 615}, 19, F::Dialog,     S::Default,           S::Default,  0, nullptr,          calibration(C::Enter_L)},
    {"High_range_cmd",       K::CommandButton,  1, "Feed High Range",           {2640, 4440, 1815, 615},  6, F::Dialog,     S::Default,           S::Default,  0, nullptr,          calibration(C::High_range_cmd)},
    {"High_range_text",      K::TextBox,       -1, "",                          {5040, 4440, 1215, 615},  5, F::EntryBox,   S::Default,           S::Default,  4, "New high range", calibration(C::High_range_text)},
    {"Enter_H",              K::CommandButton, -1, "Enter",                     {6840, 4440, 1095, 615}, 18, F::Dialog,     S::Default,           S::Default,  0, nullptr,          calibration(C::Enter_H)},
    {"Label1",               K::Label,         -1, "Note: Please Confirm the configuration switch.",
                                                                                { 240, 5400, 3615, 255},  4, F::Dialog,     S::InactiveBorder,    S::Default,  0, nullptr,          None},
}};
// clang-format on

// Every calibration control and every reading box has exactly one row.
constexpr bool everyRoleOnce(ControlRole::Kind kind, int count)
{
    for (int position = 0; position < count; ++position) {
        int rows = 0;
        for (const ControlSpec &row : MainWindowControls)
            rows += row.role.kind == kind && row.role.position == position ? 1 : 0;
        if (rows != 1)
            return false;
    }
    for (const ControlSpec &row : MainWindowControls) {
        if (row.role.kind == kind && (row.role.position < 0 || row.role.position >= count))
            return false;
    }
    return true;
}
static_assert(everyRoleOnce(ControlRole::Calibration, console::CalibrationControlCount));
static_assert(everyRoleOnce(ControlRole::Reading, 4));

// The object name of a calibration control, from its row.
const char *objectName(console::CalibrationControl control);

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
