#include "platform/linux/xtest_key_table.h"

#include "platform/input.h"

#include <X11/keysym.h>

#include <map>

namespace twk {

std::optional<unsigned long> keysymForVirtualKey(int virtualKey)
{
    // Key code -> keysym. The codes name physical keys of a US keyboard, so
    // each maps to the symbol that key carries there.
    static const std::map<int, unsigned long> table{
        {0, XK_a},          {11, XK_b},          {8, XK_c},           {2, XK_d},          {14, XK_e},
        {3, XK_f},          {5, XK_g},           {4, XK_h},           {34, XK_i},         {38, XK_j},
        {40, XK_k},         {37, XK_l},          {46, XK_m},          {45, XK_n},         {31, XK_o},
        {35, XK_p},         {12, XK_q},          {15, XK_r},          {1, XK_s},          {17, XK_t},
        {32, XK_u},         {9, XK_v},           {13, XK_w},          {7, XK_x},          {16, XK_y},
        {6, XK_z},          {29, XK_0},          {18, XK_1},          {19, XK_2},         {20, XK_3},
        {21, XK_4},         {23, XK_5},          {22, XK_6},          {26, XK_7},         {28, XK_8},
        {25, XK_9},         {43, XK_comma},      {47, XK_period},     {44, XK_slash},     {41, XK_semicolon},
        {39, XK_apostrophe}, {33, XK_bracketleft}, {30, XK_bracketright}, {42, XK_backslash}, {27, XK_minus},
        {24, XK_equal},     {50, XK_grave},      {36, XK_Return},     {76, XK_KP_Enter},  {48, XK_Tab},
        {49, XK_space},     {51, XK_BackSpace},  {117, XK_Delete},    {53, XK_Escape},    {123, XK_Left},
        {124, XK_Right},    {125, XK_Down},      {126, XK_Up},        {115, XK_Home},     {119, XK_End},
        {116, XK_Page_Up},  {121, XK_Page_Down}, {122, XK_F1},        {120, XK_F2},       {99, XK_F3},
        {118, XK_F4},       {96, XK_F5},         {97, XK_F6},         {98, XK_F7},        {100, XK_F8},
        {101, XK_F9},       {109, XK_F10},       {103, XK_F11},       {111, XK_F12}};
    if (const auto it = table.find(virtualKey); it != table.end()) return it->second;
    return std::nullopt;
}

std::vector<unsigned long> modifierKeysyms(uint64_t modifierFlags)
{
    std::vector<unsigned long> keys;
    if (modifierFlags & (modifier::command | modifier::control)) keys.push_back(XK_Control_L);
    if (modifierFlags & modifier::option) keys.push_back(XK_Alt_L);
    if (modifierFlags & modifier::shift) keys.push_back(XK_Shift_L);
    return keys;
}

std::optional<unsigned long> keysymForCodePoint(char32_t c)
{
    switch (c) {
    case U'\n':
    case U'\r': return XK_Return;
    case U'\t': return XK_Tab;
    case U'\b': return XK_BackSpace;
    default: break;
    }
    if (c < 0x20 || (c >= 0x7F && c < 0xA0) || c > 0x10FFFF) return std::nullopt;
    if (c < 0x100) return static_cast<unsigned long>(c);
    return 0x01000000UL + c;
}

} // namespace twk
