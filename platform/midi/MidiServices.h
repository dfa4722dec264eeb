// The MIDI services the application talks to: endpoint enumeration with display names,
// clients, input and output ports, connecting sources, sending packet lists, a read callback
// on a MIDI thread and a set-up-changed notification (identifier 1) delivered on the main
// thread. The calls keep the shape of the desktop MIDI services the application was written
// against; behind them sits one backend, chosen on first use: the ALSA sequencer where it
// exists, else a running JACK server, else nothing (empty lists, one line on stderr).
//
// Threads: enumeration, client/port creation and connections are made on the main thread.
// A port's read callback runs on the backend's MIDI thread. Notifications are handed to the
// main-thread dispatch hook, which the application sets from its toolkit before any client
// exists; without a hook they wait until MIDIServicesDeliverPendingNotifications() is called.
#pragma once

#include "MidiPacketList.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

using MIDIObjectRef = std::uint32_t;
using MIDIClientRef = MIDIObjectRef;
using MIDIPortRef = MIDIObjectRef;
using MIDIEndpointRef = MIDIObjectRef;
using MIDIStatus = std::int32_t;

inline constexpr MIDIStatus midiNoError = 0;
inline constexpr MIDIStatus midiInvalidClient = -10830;
inline constexpr MIDIStatus midiInvalidPort = -10831;
inline constexpr MIDIStatus midiUnknownEndpoint = -10834;
inline constexpr MIDIStatus midiUnknownProperty = -10835;
inline constexpr MIDIStatus midiServiceUnavailable = -10838;
inline constexpr MIDIStatus midiNotPermitted = -10844;

using MIDINotificationMessageID = std::int32_t;
inline constexpr MIDINotificationMessageID kMIDIMsgSetupChanged = 1;

struct MIDINotification {
    MIDINotificationMessageID messageID;
    std::uint32_t messageSize;
};

using MIDINotifyCallback = void (*)(const MIDINotification* message, void* refCon);
using MIDIReadCallback = void (*)(const MIDIPacketList* pktlist, void* readProcRefCon,
                                  void* srcConnRefCon);

enum class MIDIStringProperty { displayName };
inline constexpr MIDIStringProperty kMIDIPropertyDisplayName = MIDIStringProperty::displayName;

// The name under which the program shows up to other MIDI software (aconnect, patchbays).
inline constexpr const char* midiServicesClientName = "Corvena";

int MIDIGetNumberOfSources();
MIDIEndpointRef MIDIGetSource(int index);
int MIDIGetNumberOfDestinations();
MIDIEndpointRef MIDIGetDestination(int index);
MIDIStatus MIDIObjectGetStringProperty(MIDIObjectRef object, MIDIStringProperty property,
                                       std::string* out);
MIDIStatus MIDIClientCreate(const std::string& name, MIDINotifyCallback notifyProc,
                            void* notifyRefCon, MIDIClientRef* outClient);
MIDIStatus MIDIInputPortCreate(MIDIClientRef client, const std::string& portName,
                               MIDIReadCallback readProc, void* refCon, MIDIPortRef* outPort);
MIDIStatus MIDIOutputPortCreate(MIDIClientRef client, const std::string& portName,
                                MIDIPortRef* outPort);
MIDIStatus MIDIPortConnectSource(MIDIPortRef port, MIDIEndpointRef source, void* connRefCon);
MIDIStatus MIDIPortDisconnectSource(MIDIPortRef port, MIDIEndpointRef source);
// Called on the MIDI thread by MIDI thru; never allocates in the JACK and ALSA backends.
MIDIStatus MIDISend(MIDIPortRef port, MIDIEndpointRef destination, const MIDIPacketList* pktlist);

// ---- Set-up of the services themselves ----

class MidiBackend;

enum class MidiBackendChoice { automatic, alsa, jack, none };

// Runs `task` later on the main thread. The application plugs in its toolkit's main-queue
// dispatch; tests may plug a queue of their own.
using MIDIMainThreadDispatch = std::function<void(std::function<void()> task)>;
void MIDIServicesSetMainThreadDispatch(MIDIMainThreadDispatch dispatch);
// Runs, on the calling thread, the notifications that arrived while no dispatch was set.
// Returns how many tasks ran.
int MIDIServicesDeliverPendingNotifications();

// Brings up the services with the given backend; with `automatic`, what the first MIDI call
// would pick. Returns false (and leaves the services without MIDI) when that backend cannot
// start. Has no effect once a backend runs, except through MIDIServicesUseBackend.
bool MIDIServicesStart(MidiBackendChoice choice = MidiBackendChoice::automatic);
// Puts a backend of the caller's in place of any other (tests use the in-process one).
void MIDIServicesUseBackend(std::shared_ptr<MidiBackend> backend);
// The backend now in use; nullptr before the first call and when no MIDI service exists.
std::shared_ptr<MidiBackend> MIDIServicesBackend();
// Closes every backend's clients and stops their threads: for a process that must leave the
// MIDI service tidy (a test that a next one follows at once on the same server). No MIDI call
// may be made afterwards.
void MIDIServicesShutdown();
// "alsa", "jack", "in-process" or "none".
std::string MIDIServicesBackendName();
// What MIDI comes through, for the user: "the ALSA sequencer", "JACK (server "default")",
// "PipeWire's JACK"; "" when no MIDI service runs.
std::string MIDIServicesDescription();
