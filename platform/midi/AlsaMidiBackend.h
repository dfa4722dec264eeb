// The MIDI backend on the ALSA sequencer, the default wherever /dev/snd/seq exists. The
// program is one sequencer client, "Corvena", whose ports carry the names the application gives
// its ports, so aconnect and PipeWire/JACK patchbays list them. Sources are the readable ports
// of other clients, destinations their writable ports; hot-plug comes from the system announce
// port, which a private port of ours subscribes to.
//
// Threads: a MIDI thread of ours waits on the sequencer, turns incoming events into MIDI bytes
// in a packet-list buffer allocated once and calls the ports' read callbacks; announcements
// become set-up-changed notifications. Endpoint handles are client × 256 + port.
#pragma once

#include "MidiBackend.h"
#include "MidiEndpointList.h"
#include "MidiPortTable.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class AlsaMidiBackend : public MidiBackend {
public:
    // nullptr when the sequencer cannot be opened.
    static std::shared_ptr<AlsaMidiBackend> open();
    ~AlsaMidiBackend() override;

    const char* name() const override { return "alsa"; }
    std::string description() const override { return "the ALSA sequencer"; }
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
    struct SequencerPort {
        std::atomic<int> alsaPort{-1};
    };
    using PortTable = MidiPortTable<SequencerPort, 8>;

    AlsaMidiBackend(snd_seq_t* seq, int announcePort);
    void midiThreadLoop();
    int portIndexForAlsaPort(int alsaPort) const;
    std::vector<MIDIEndpointRef> listPorts(unsigned int capabilities);

    snd_seq_t* seq;
    int ourClient;
    int announcePort;
    PortTable ports;
    MidiEndpointList sources;
    MidiEndpointList destinations;
    std::atomic<bool> stopping{false};
    std::thread midiThread;
};
