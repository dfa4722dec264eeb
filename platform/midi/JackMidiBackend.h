// The MIDI backend on a running JACK server, used where the ALSA sequencer is absent. The
// program is one JACK client, "Corvena", whose MIDI ports carry the names the application gives
// its ports. Sources are other clients' MIDI output ports, destinations their MIDI input ports;
// hot-plug comes from JACK's port registration callback.
//
// Threads: JACK's process callback (real-time) only copies incoming events into a lock-free
// ring, each stamped with the host time of its own frame in the cycle, and drains the thru ring
// into the output ports. A MIDI thread of ours takes the events out of the ring, builds packet
// lists in a buffer allocated once and calls the ports' read callbacks. Nothing on either path
// allocates or takes a lock per message.
//
// When the server stops, the MIDI thread opens the client again once a second until a server
// answers, registers the same ports on it and reports a set-up change, so the host connects its
// sources again as it does for a keyboard plugged in.
//
// No lock of ours is ever held around a call into libjack: PipeWire's libjack calls the
// registration callback on its own thread while jack_port_register waits for it, so a lock
// taken on both sides hangs start-up. The callbacks reach the notifier, set once before they
// can matter, through an atomic flag; the endpoint tables are locked only around our own data.
#pragma once

#include "MidiBackend.h"
#include "MidiByteRing.h"
#include "MidiEndpointList.h"
#include "MidiPortTable.h"

#include <jack/jack.h>

#include <array>
#include <atomic>
#include <climits>
#include <map>
#include <memory>
#include <mutex>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

class JackMidiBackend : public MidiBackend {
public:
    // nullptr when no JACK server answers (none is started).
    static std::shared_ptr<JackMidiBackend> open();
    ~JackMidiBackend() override;

    // The JACK-side full name ("client:port") of one of our ports, for tests and diagnostics.
    std::string jackPortName(MIDIPortRef port);

    const char* name() const override { return "jack"; }
    std::string description() const override;
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
    static constexpr std::size_t maxEventBytes = 1024; // larger (SysEx) events are dropped
    // Endpoint handles count up from here, clear of the port and client handles.
    static constexpr MIDIEndpointRef firstEndpointHandle = 0x10000;

    struct JackPort {
        std::atomic<jack_port_t*> jackPort{nullptr};
        std::string jackName;                   // set before the port is published
        std::unique_ptr<MidiByteRing> thruRing; // output ports only
        std::atomic_flag thruWriterBusy = ATOMIC_FLAG_INIT;
        std::string thruDestination;    // MIDI thread only
        MIDIEndpointRef thruHandle = 0; // MIDI thread only
    };
    using PortTable = MidiPortTable<JackPort, 8>;

    explicit JackMidiBackend(jack_client_t* client);
    static int processCallback(jack_nframes_t frames, void* arg);
    static void portRegistrationCallback(jack_port_id_t port, int registered, void* arg);
    static void portRenameCallback(jack_port_id_t port, const char* oldName, const char* newName,
                                   void* arg);
    static void shutdownCallback(void* arg);
    void process(jack_nframes_t frames);
    void midiThreadLoop();
    // MIDI thread, after the server went away: the client and every port opened anew on a
    // server that answers now. False while none does.
    bool reopen();
    void setCallbacks(jack_client_t* on);
    // The other clients' MIDI ports with the given flag, asked of the server without our lock.
    std::vector<std::string> otherClientsPorts(unsigned long flags);
    MIDIEndpointRef handleForLocked(const std::string& portName);
    std::string nameOf(MIDIEndpointRef endpoint);

    // Replaced by the MIDI thread when the server comes back; read anywhere.
    std::atomic<jack_client_t*> client;
    PortTable ports;
    std::atomic<bool> serverGone{false};

    MidiByteRing inputRing{1 << 16};
    std::counting_semaphore<INT_MAX> inputArrived{0};
    std::array<std::uint8_t, maxEventBytes> processScratch{};
    std::atomic<bool> stopping{false};
    std::thread midiThread;

    // Endpoint handles by port name; never taken on JACK's threads nor around a libjack call.
    std::mutex mutex;
    std::map<std::string, MIDIEndpointRef> handles;
    MIDIEndpointRef nextHandle = firstEndpointHandle;
    MidiEndpointList sources;
    MidiEndpointList destinations;
};
