// The program's link to the MIDI services: lists the MIDI sources and destinations, owns one
// client with the input port (whose read callback is the parser) and one client with the
// output port, connects sources (all of them, or one), keeps the MIDI thru destination and
// rebuilds lists and connections after a set-up change.
//
// Threads: everything here runs on the main thread. The MIDI thread reads only the thru
// selection (outputPortRef, outputEndpointRef, currentOutputPortInfoIndex), which are atomics;
// the endpoint is stored before the index that makes it count, so the MIDI thread never pairs
// a selected index with a stale destination.
#pragma once

#include "MidiServices.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// One MIDI endpoint as listed by getPortInfo().
struct portInfo {
    int number = 0;   // always 0; not read
    std::string type; // "Input" for a source, "Output" for a destination
    MIDIEndpointRef endpointRef = 0;
    std::string endpointName;
};

// Told when the endpoint lists have been rebuilt after a set-up change.
class MIDIObjectDelegate {
public:
    virtual ~MIDIObjectDelegate() = default;
    virtual void midiPortInfoDidUpdate() = 0;
};

class MIDIObject {
public:
    static constexpr int allSources = -1;
    static constexpr int none = -2;

    MIDIObjectDelegate* delegate = nullptr;
    std::vector<portInfo> inputPortInfoArray;
    std::vector<portInfo> outputPortInfoArray;
    MIDIClientRef inputClientRef = 0;
    MIDIClientRef outputClientRef = 0;
    MIDIPortRef inputPortRef = 0;
    std::atomic<MIDIPortRef> outputPortRef{0};
    std::vector<MIDIEndpointRef> inputEndpointRef;
    std::atomic<MIDIEndpointRef> outputEndpointRef{0};
    int currentInputPortInfoIndex = none;
    std::atomic<int> currentOutputPortInfoIndex{none};

    void initialize();
    void getPortInfo();
    // An index outside the current list is refused with a message on stderr.
    void inputConnect(int portInfoIndex);
    void inputDisconnect();
    void outputConnect(int portInfoIndex);
    void MIDIInputConnectAll();
    void inputUpdate();

    bool hasOutputDestination() const {
        return currentOutputPortInfoIndex.load(std::memory_order_acquire) >= 0;
    }

private:
    void dropOutputDestination();
};

// The process-wide MIDI object; lives until the process ends.
extern MIDIObject midiObject;

// The name listed for an endpoint whose display name cannot be read.
std::string unnamedEndpointName(MIDIEndpointRef endpoint);
