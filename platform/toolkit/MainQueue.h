// The main queue: blocks submitted from any thread run later on the main (GUI) thread, one
// after another, in the order they were submitted. Needs a running Qt application object; a
// block submitted without one is dropped with a log line, since there is no main loop to run
// it.
#pragma once

#include <functional>

namespace toolkit {

class MainQueue {
public:
    static void async(std::function<void()> block);
};

} // namespace toolkit
