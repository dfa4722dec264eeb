// The colour of an on-screen key.
#pragma once

#include <cstdint>

enum class KeyType : int32_t {
    white = 0,
    black = 1,
};
