// What every MIDI backend provides to the services front (MidiServices.h). A backend owns
// its clients, ports and endpoint handles, runs its MIDI thread, and reports set-up changes
// through the notifier it is given, from whatever thread sees them; the front carries those
// to the main thread.
#pragma once

#include "MidiServices.h"

#include <functional>
#include <string>

class MidiBackend {
public:
    using SetupChangedNotifier = std::function<void()>;

    virtual ~MidiBackend() = default;

    virtual const char* name() const = 0;
    // What the user is told MIDI comes through: "the ALSA sequencer", "JACK".
    virtual std::string description() const { return name(); }
    // Called once by the front before any other call.
    virtual void setSetupChangedNotifier(SetupChangedNotifier notifier) = 0;

    virtual int numberOfSources() = 0;
    virtual MIDIEndpointRef source(int index) = 0;
    virtual int numberOfDestinations() = 0;
    virtual MIDIEndpointRef destination(int index) = 0;
    virtual MIDIStatus displayName(MIDIEndpointRef endpoint, std::string* out) = 0;

    virtual MIDIStatus createClient(const std::string& name, MIDIClientRef* out) = 0;
    virtual MIDIStatus createInputPort(MIDIClientRef client, const std::string& name,
                                       MIDIReadCallback readProc, void* refCon,
                                       MIDIPortRef* out) = 0;
    virtual MIDIStatus createOutputPort(MIDIClientRef client, const std::string& name,
                                        MIDIPortRef* out) = 0;
    virtual MIDIStatus connectSource(MIDIPortRef port, MIDIEndpointRef source,
                                     void* connRefCon) = 0;
    virtual MIDIStatus disconnectSource(MIDIPortRef port, MIDIEndpointRef source) = 0;
    virtual MIDIStatus send(MIDIPortRef port, MIDIEndpointRef destination,
                            const MIDIPacketList& list) = 0;
};
