// The virtual key codes of the gesture and typing logic, and the X keysyms they stand for.
#include "platform/linux/x11/KeyMapping.h"

#include <X11/keysym.h>

#include <array>
#include <utility>

namespace veska::platform {

namespace {

using ports::KeyCode;

/// Virtual key code (Apple ANSI numbering) and the keysym of the same key on a US layout.
constexpr std::pair<KeyCode, KeySym> kKeys[] = {
    {0, XK_a},          {1, XK_s},          {2, XK_d},          {3, XK_f},           {4, XK_h},
    {5, XK_g},          {6, XK_z},          {7, XK_x},          {8, XK_c},           {9, XK_v},
    {11, XK_b},         {12, XK_q},         {13, XK_w},         {14, XK_e},          {15, XK_r},
    {16, XK_y},         {17, XK_t},         {18, XK_1},         {19, XK_2},          {20, XK_3},
    {21, XK_4},         {22, XK_6},         {23, XK_5},         {24, XK_equal},      {25, XK_9},
    {26, XK_7},         {27, XK_minus},     {28, XK_8},         {29, XK_0},          {30, XK_bracketright},
    {31, XK_o},         {32, XK_u},         {33, XK_bracketleft}, {34, XK_i},        {35, XK_p},
    {36, XK_Return},    {37, XK_l},         {38, XK_j},         {39, XK_apostrophe}, {40, XK_k},
    {41, XK_semicolon}, {42, XK_backslash}, {43, XK_comma},     {44, XK_slash},      {45, XK_n},
    {46, XK_m},         {47, XK_period},    {48, XK_Tab},       {49, XK_space},      {50, XK_grave},
    {51, XK_BackSpace}, {53, XK_Escape},    {56, XK_Shift_L},   {57, XK_Caps_Lock},  {58, XK_Alt_L},
    {59, XK_Control_L}, {60, XK_Shift_R},   {61, XK_Alt_R},     {62, XK_Control_R},  {96, XK_F5},
    {97, XK_F6},        {98, XK_F7},        {99, XK_F3},        {100, XK_F8},        {101, XK_F9},
    {103, XK_F11},      {109, XK_F10},      {111, XK_F12},      {115, XK_Home},      {116, XK_Page_Up},
    {117, XK_Delete},   {118, XK_F4},       {119, XK_End},      {120, XK_F2},        {121, XK_Page_Down},
    {122, XK_F1},       {123, XK_Left},     {124, XK_Right},    {125, XK_Down},      {126, XK_Up},
    {55, XK_Super_L},   {54, XK_Super_R},   {76, XK_KP_Enter},  {71, XK_Clear},
};

}  // namespace

std::optional<KeySym> postedKeysym(KeyCode code) {
    if (code == ports::keys::kCommand) return XK_Control_L;
    if (code == ports::keys::kRightCommand) return XK_Control_R;
    for (const auto& [key, keysym] : kKeys) {
        if (key == code) return keysym;
    }
    return std::nullopt;
}

std::optional<KeyCode> observedKeyCode(KeySym keysym) {
    if (keysym >= XK_A && keysym <= XK_Z) keysym = keysym - XK_A + XK_a;
    switch (keysym) {
    case XK_Meta_L:
        return ports::keys::kCommand;
    case XK_Meta_R:
        return ports::keys::kRightCommand;
    case XK_ISO_Level3_Shift:
    case XK_Mode_switch:
        return ports::keys::kRightOption;
    case XK_ISO_Left_Tab:
        return ports::keys::kTab;
    default:
        break;
    }
    for (const auto& [key, sym] : kKeys) {
        if (sym == keysym) return key;
    }
    return std::nullopt;
}

ports::KeyFlags modifierFlagOfKeysym(KeySym keysym) {
    const std::optional<KeyCode> code = observedKeyCode(keysym);
    return code ? ports::modifierFlagOf(*code) & ports::flags::kModifierMask : 0;
}

}  // namespace veska::platform
