#include "MidiEndpointList.h"

int MidiEndpointList::replace(std::vector<MIDIEndpointRef> endpoints) {
    std::lock_guard lock(mutex);
    listed = std::move(endpoints);
    return static_cast<int>(listed.size());
}

MIDIEndpointRef MidiEndpointList::at(int index) const {
    std::lock_guard lock(mutex);
    return index >= 0 && static_cast<std::size_t>(index) < listed.size()
               ? listed[static_cast<std::size_t>(index)]
               : 0;
}
