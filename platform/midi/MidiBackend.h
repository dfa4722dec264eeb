// What every MIDI backend provides to the services front (MidiServices.h). A backend owns
// its clients, ports and endpoint handles, runs its MIDI thread, and reports set-up changes
// through the notifier it is given, from whatever thread sees them; the front carries those
// to the main thread.
#pragma once

#include "MidiServices.h"

#include <atomic>
#include <functional>
#include <string>

class MidiBackend {
public:
    using SetupChangedNotifier = std::function<void()>;

    virtual ~MidiBackend() = default;

    virtual const char* name() const = 0;
    // What the user is told MIDI comes through: "the ALSA sequencer", "JACK".
    virtual std::string description() const { return name(); }

    // Called once by the front, before it asks for anything. A second notifier is refused: it
    // would be written while a MIDI or notification thread may be reading the first.
    void setSetupChangedNotifier(SetupChangedNotifier n) {
        if (notifierSet.load(std::memory_order_acquire))
            return;
        notifier = std::move(n);
        notifierSet.store(true, std::memory_order_release);
    }

    virtual int numberOfSources() = 0;
    virtual MIDIEndpointRef source(int index) = 0;
    virtual int numberOfDestinations() = 0;
    virtual MIDIEndpointRef destination(int index) = 0;
    virtual MIDIStatus displayName(MIDIEndpointRef endpoint, std::string* out) = 0;

    virtual MIDIStatus createClient(const std::string& name, MIDIClientRef* out) = 0;
    // An input port (`isInput`) hands what it reads to `readProc`; an output port takes send().
    virtual MIDIStatus createPort(MIDIClientRef client, const std::string& name, bool isInput,
                                  MIDIReadCallback readProc, void* refCon, MIDIPortRef* out) = 0;
    virtual MIDIStatus connectSource(MIDIPortRef port, MIDIEndpointRef source,
                                     void* connRefCon) = 0;
    virtual MIDIStatus disconnectSource(MIDIPortRef port, MIDIEndpointRef source) = 0;
    virtual MIDIStatus send(MIDIPortRef port, MIDIEndpointRef destination,
                            const MIDIPacketList& list) = 0;

protected:
    // Any thread; never takes a lock, so a library's callback thread may call it while the
    // library holds locks of its own.
    void reportSetupChanged() const {
        if (notifierSet.load(std::memory_order_acquire) && notifier)
            notifier();
    }

private:
    SetupChangedNotifier notifier;
    std::atomic<bool> notifierSet{false};
};
