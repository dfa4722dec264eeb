// Waiting for something another process or thread brings about (a window mapped, a port
// registered): asks `condition` every 20 ms until it holds or `timeout` has passed.
#pragma once

#include <chrono>
#include <functional>

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
