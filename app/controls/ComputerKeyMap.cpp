// The computer-keyboard map: one row per bound key, its place and its US QWERTY character.
#include "ComputerKeyMap.h"

namespace {

struct Row {
    uint32_t scanCode; // evdev code + 8
    int keyCode;
    ComputerKeyMap::Binding binding;
};

using Role = ComputerKeyMap::Role;

constexpr Row rows[] = {
    // The home row: white keys C D E F G A B C D E F.
    {38, 'A', {Role::note, 0}},
    {39, 'S', {Role::note, 2}},
    {40, 'D', {Role::note, 4}},
    {41, 'F', {Role::note, 5}},
    {42, 'G', {Role::note, 7}},
    {43, 'H', {Role::note, 9}},
    {44, 'J', {Role::note, 11}},
    {45, 'K', {Role::note, 12}},
    {46, 'L', {Role::note, 14}},
    {47, ';', {Role::note, 16}},
    {48, '\'', {Role::note, 17}},
    // The row above: black keys between their white neighbours. R and I sit where a piano has
    // no black key (E–F, B–C) and play nothing.
    {25, 'W', {Role::note, 1}},
    {26, 'E', {Role::note, 3}},
    {28, 'T', {Role::note, 6}},
    {29, 'Y', {Role::note, 8}},
    {30, 'U', {Role::note, 10}},
    {32, 'O', {Role::note, 13}},
    {33, 'P', {Role::note, 15}},
    // The bottom row's first two keys.
    {52, 'Z', {Role::octaveDown, 0}},
    {53, 'X', {Role::octaveUp, 0}},
};

} // namespace

ComputerKeyMap::Binding ComputerKeyMap::forScanCode(uint32_t scanCode) {
    for (const Row& row : rows)
        if (row.scanCode == scanCode)
            return row.binding;
    return Binding{};
}

ComputerKeyMap::Binding ComputerKeyMap::forKeyCode(int keyCode) {
    for (const Row& row : rows)
        if (row.keyCode == keyCode)
            return row.binding;
    return Binding{};
}
