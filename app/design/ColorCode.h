// The colour-code constructor: every colour of the application is written as "#rrggbb" or
// "#rrggbbaa" and turned into a colour here.
//
// The first character is skipped unread; the groups after it are two hexadecimal digits each
// (either case), divided by 255. A code without alpha is opaque. Any code that is not seven or
// nine characters long, or whose groups are not hexadecimal, yields opaque black, so a
// mistyped colour shows up on screen instead of stopping the program.
#pragma once

#include "Color.h"

#include <string_view>

toolkit::Color initWithColorCode(std::string_view code);
