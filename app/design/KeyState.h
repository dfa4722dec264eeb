// Whether an on-screen key is shown pressed.
#pragma once

#include <cstdint>

enum class KeyState : int32_t {
    isOn = 0,
    isOff = 1,
};
