// The sources or the destinations a backend listed when it was last asked how many there are:
// the application counts them, then asks for each by index, and the answer must come from that
// same listing even if a device comes or goes in between. An index outside it answers 0, the
// handle of no endpoint. The lock is held only around the copy, never around a library call.
#pragma once

#include "MidiServices.h"

#include <mutex>
#include <vector>

class MidiEndpointList {
public:
    // Keeps `endpoints` as the listing; returns how many there are.
    int replace(std::vector<MIDIEndpointRef> endpoints);
    MIDIEndpointRef at(int index) const;

private:
    mutable std::mutex mutex;
    std::vector<MIDIEndpointRef> listed;
};
