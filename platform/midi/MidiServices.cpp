#include "MidiServices.h"

#include "MidiBackend.h"
#if CORVENA_MIDI_HAVE_ALSA
#include "AlsaMidiBackend.h"
#endif
#if CORVENA_MIDI_HAVE_JACK
#include "JackMidiBackend.h"
#endif

#include <atomic>
#include <cstdio>
#include <deque>
#include <mutex>
#include <vector>

namespace {

struct ClientRecord {
    MIDIClientRef client;
    MIDINotifyCallback notifyProc;
    void* refCon;
};

// The front's state. The backend pointer is read lock-free (MIDISend runs on the MIDI
// thread); every backend ever installed stays alive until the process ends, so a pointer read
// just before a swap still points at a live object.
struct Services {
    std::mutex mutex;
    std::vector<std::shared_ptr<MidiBackend>> backends;
    std::atomic<MidiBackend*> current{nullptr};
    std::atomic<bool> started{false};
    MIDIMainThreadDispatch dispatch;
    std::deque<std::function<void()>> pending;
    std::vector<ClientRecord> clients;
    std::atomic<bool> setupChangePending{false};
    bool unavailableReported = false;
};

Services& services() {
    static Services* instance = new Services; // never destroyed: MIDI threads may outlive main
    return *instance;
}

void postToMainThread(std::function<void()> task) {
    Services& s = services();
    MIDIMainThreadDispatch dispatch;
    {
        std::lock_guard lock(s.mutex);
        if (!s.dispatch) {
            s.pending.push_back(std::move(task));
            return;
        }
        dispatch = s.dispatch;
    }
    dispatch(std::move(task));
}

void deliverSetupChanged() {
    Services& s = services();
    s.setupChangePending.store(false);
    std::vector<ClientRecord> clients;
    {
        std::lock_guard lock(s.mutex);
        clients = s.clients;
    }
    const MIDINotification message{kMIDIMsgSetupChanged, sizeof(MIDINotification)};
    for (const ClientRecord& record : clients)
        if (record.notifyProc != nullptr)
            record.notifyProc(&message, record.refCon);
}

// Backends report every change they see; a burst of them (a device bringing up several
// ports) becomes one notification per client on the main thread.
void setupChanged() {
    if (!services().setupChangePending.exchange(true))
        postToMainThread(deliverSetupChanged);
}

// Call with the mutex held.
void installLocked(Services& s, std::shared_ptr<MidiBackend> backend) {
    if (backend)
        backend->setSetupChangedNotifier(setupChanged);
    s.current.store(backend.get());
    if (backend)
        s.backends.push_back(std::move(backend));
    s.clients.clear();
    s.started.store(true);
}

std::shared_ptr<MidiBackend> openBackend(MidiBackendChoice choice) {
#if CORVENA_MIDI_HAVE_ALSA
    if (choice == MidiBackendChoice::automatic || choice == MidiBackendChoice::alsa)
        if (auto backend = AlsaMidiBackend::open())
            return backend;
#endif
#if CORVENA_MIDI_HAVE_JACK
    if (choice == MidiBackendChoice::automatic || choice == MidiBackendChoice::jack)
        if (auto backend = JackMidiBackend::open())
            return backend;
#endif
    (void)choice;
    return nullptr;
}

// The backend is opened without the front's lock: its library may call back on a thread of its
// own while it opens (PipeWire's libjack does), and those callbacks end up here. Should another
// thread have installed a backend meanwhile, that one stays and ours is closed, also unlocked.
bool start(Services& s, MidiBackendChoice choice) {
    std::shared_ptr<MidiBackend> backend = openBackend(choice);
    std::shared_ptr<MidiBackend> unused;
    bool ok = false;
    {
        std::lock_guard lock(s.mutex);
        if (s.started.load()) {
            unused = std::move(backend);
            ok = s.current.load() != nullptr;
        } else {
            ok = backend != nullptr;
            if (!ok && choice != MidiBackendChoice::none && !s.unavailableReported) {
                s.unavailableReported = true;
                std::fprintf(stderr,
                             "%s: MIDI is unavailable (no ALSA sequencer and no JACK server "
                             "found); running without MIDI input.\n",
                             midiServicesClientName);
            }
            installLocked(s, std::move(backend));
        }
    }
    return ok;
}

MidiBackend* backend() {
    Services& s = services();
    if (!s.started.load())
        start(s, MidiBackendChoice::automatic);
    return s.current.load();
}

MIDIStatus createPort(MIDIClientRef client, const std::string& portName, bool isInput,
                      MIDIReadCallback readProc, void* refCon, MIDIPortRef* outPort) {
    MidiBackend* b = backend();
    if (b == nullptr)
        return midiServiceUnavailable;
    MIDIPortRef port = 0;
    const MIDIStatus status = b->createPort(client, portName, isInput, readProc, refCon, &port);
    if (outPort != nullptr)
        *outPort = port;
    return status;
}

} // namespace

int MIDIGetNumberOfSources() {
    MidiBackend* b = backend();
    return b ? b->numberOfSources() : 0;
}

MIDIEndpointRef MIDIGetSource(int index) {
    MidiBackend* b = backend();
    return b ? b->source(index) : 0;
}

int MIDIGetNumberOfDestinations() {
    MidiBackend* b = backend();
    return b ? b->numberOfDestinations() : 0;
}

MIDIEndpointRef MIDIGetDestination(int index) {
    MidiBackend* b = backend();
    return b ? b->destination(index) : 0;
}

MIDIStatus MIDIObjectGetStringProperty(MIDIObjectRef object, MIDIStringProperty property,
                                       std::string* out) {
    MidiBackend* b = backend();
    if (b == nullptr)
        return midiServiceUnavailable;
    if (property != kMIDIPropertyDisplayName || out == nullptr)
        return midiUnknownProperty;
    return b->displayName(object, out);
}

MIDIStatus MIDIClientCreate(const std::string& name, MIDINotifyCallback notifyProc,
                            void* notifyRefCon, MIDIClientRef* outClient) {
    MidiBackend* b = backend();
    if (b == nullptr)
        return midiServiceUnavailable;
    MIDIClientRef client = 0;
    const MIDIStatus status = b->createClient(name, &client);
    if (status == midiNoError) {
        Services& s = services();
        std::lock_guard lock(s.mutex);
        s.clients.push_back({client, notifyProc, notifyRefCon});
    }
    if (outClient != nullptr)
        *outClient = client;
    return status;
}

MIDIStatus MIDIInputPortCreate(MIDIClientRef client, const std::string& portName,
                               MIDIReadCallback readProc, void* refCon, MIDIPortRef* outPort) {
    return createPort(client, portName, true, readProc, refCon, outPort);
}

MIDIStatus MIDIOutputPortCreate(MIDIClientRef client, const std::string& portName,
                                MIDIPortRef* outPort) {
    return createPort(client, portName, false, nullptr, nullptr, outPort);
}

MIDIStatus MIDIPortConnectSource(MIDIPortRef port, MIDIEndpointRef source, void* connRefCon) {
    MidiBackend* b = backend();
    return b ? b->connectSource(port, source, connRefCon) : midiServiceUnavailable;
}

MIDIStatus MIDIPortDisconnectSource(MIDIPortRef port, MIDIEndpointRef source) {
    MidiBackend* b = backend();
    return b ? b->disconnectSource(port, source) : midiServiceUnavailable;
}

MIDIStatus MIDISend(MIDIPortRef port, MIDIEndpointRef destination, const MIDIPacketList* pktlist) {
    MidiBackend* b = services().current.load();
    if (b == nullptr)
        return midiServiceUnavailable;
    if (pktlist == nullptr || !MIDIPacketListIsWellFormed(*pktlist))
        return midiNotPermitted;
    return b->send(port, destination, *pktlist);
}

void MIDIServicesSetMainThreadDispatch(MIDIMainThreadDispatch dispatch) {
    Services& s = services();
    std::deque<std::function<void()>> waiting;
    {
        std::lock_guard lock(s.mutex);
        s.dispatch = std::move(dispatch);
        if (s.dispatch)
            waiting.swap(s.pending);
    }
    for (auto& task : waiting)
        s.dispatch(std::move(task));
}

int MIDIServicesDeliverPendingNotifications() {
    Services& s = services();
    std::deque<std::function<void()>> waiting;
    {
        std::lock_guard lock(s.mutex);
        waiting.swap(s.pending);
    }
    for (auto& task : waiting)
        task();
    return static_cast<int>(waiting.size());
}

bool MIDIServicesStart(MidiBackendChoice choice) {
    Services& s = services();
    if (s.started.load())
        return s.current.load() != nullptr;
    return start(s, choice);
}

void MIDIServicesUseBackend(std::shared_ptr<MidiBackend> backend) {
    Services& s = services();
    std::lock_guard lock(s.mutex);
    s.pending.clear();
    s.setupChangePending.store(false);
    installLocked(s, std::move(backend));
}

void MIDIServicesShutdown() {
    Services& s = services();
    std::vector<std::shared_ptr<MidiBackend>> closing;
    {
        std::lock_guard lock(s.mutex);
        s.current.store(nullptr);
        s.clients.clear();
        closing.swap(s.backends);
    }
    closing.clear(); // outside the lock: closing a client calls into its library
}

std::shared_ptr<MidiBackend> MIDIServicesBackend() {
    Services& s = services();
    std::lock_guard lock(s.mutex);
    MidiBackend* current = s.current.load();
    for (const auto& b : s.backends)
        if (b.get() == current)
            return b;
    return nullptr;
}

std::string MIDIServicesBackendName() {
    MidiBackend* b = backend();
    return b ? b->name() : "none";
}

std::string MIDIServicesDescription() {
    MidiBackend* b = backend();
    return b ? b->description() : "";
}
