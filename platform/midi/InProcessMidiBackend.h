// A MIDI backend that lives inside the process, for tests: virtual sources and destinations
// that a test plugs in and out, sources it plays into, destinations that record what they are
// sent. Plugging and unplugging report a set-up change like a real device would.
//
// A virtual source delivers on the thread that calls sendFromSource: that thread plays the
// role of the MIDI thread. The read callbacks run outside the backend's lock, so they may call
// MIDISend.
#pragma once

#include "MidiBackend.h"
#include "MidiPortTable.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class InProcessMidiBackend : public MidiBackend {
public:
    static constexpr std::size_t maxPortsPerSource = 16;

    // ---- what a test does ----
    // A display name that cannot be read is simulated with nameReadable = false.
    MIDIEndpointRef addSource(const std::string& name, bool nameReadable = true);
    MIDIEndpointRef addDestination(const std::string& name, bool nameReadable = true);
    // Unplugs a source or a destination; its connections go with it.
    bool removeEndpoint(MIDIEndpointRef endpoint);
    // Delivers the list to every input port the source is connected to. False when the source
    // does not exist.
    bool sendFromSource(MIDIEndpointRef source, const MIDIPacketList& list);
    // One packet holding `bytes`, time-stamped 0.
    bool sendBytesFromSource(MIDIEndpointRef source, const std::vector<std::uint8_t>& bytes);
    // Copies of the packet-list images a destination has received, in order.
    std::vector<std::vector<std::uint8_t>> receivedBy(MIDIEndpointRef destination);
    // The sources now connected to an input port, in order of connection.
    std::vector<MIDIEndpointRef> connectedSources(MIDIPortRef port);
    std::vector<std::string> clientNames();

    // ---- MidiBackend ----
    const char* name() const override { return "in-process"; }
    int numberOfSources() override;
    MIDIEndpointRef source(int index) override;
    int numberOfDestinations() override;
    MIDIEndpointRef destination(int index) override;
    MIDIStatus displayName(MIDIEndpointRef endpoint, std::string* out) override;
    MIDIStatus createClient(const std::string& name, MIDIClientRef* out) override;
    MIDIStatus createPort(MIDIClientRef client, const std::string& name, bool isInput,
                          MIDIReadCallback readProc, void* refCon, MIDIPortRef* out) override;
    MIDIStatus connectSource(MIDIPortRef port, MIDIEndpointRef source, void* connRefCon) override;
    MIDIStatus disconnectSource(MIDIPortRef port, MIDIEndpointRef source) override;
    MIDIStatus send(MIDIPortRef port, MIDIEndpointRef destination,
                    const MIDIPacketList& list) override;

private:
    struct Endpoint {
        MIDIEndpointRef ref;
        std::string name;
        bool nameReadable;
        bool isSource;
        std::vector<std::vector<std::uint8_t>> received;
    };
    // What an input port is connected to; under the lock.
    struct Connections {
        std::vector<MIDIEndpointRef> sources;
        std::vector<void*> connRefCons;
    };
    using PortTable = MidiPortTable<Connections, 64>;

    MIDIEndpointRef addEndpoint(const std::string& name, bool nameReadable, bool isSource);
    Endpoint* findEndpoint(MIDIEndpointRef ref);
    MIDIEndpointRef nthEndpoint(int index, bool isSource);

    PortTable ports;
    std::mutex mutex;
    std::vector<Endpoint> endpoints;
    std::vector<std::string> clients;
    MIDIObjectRef nextRef = 0x1000;
};
