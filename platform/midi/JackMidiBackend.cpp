#include "JackMidiBackend.h"

#include "HostClock.h"
#include "JackServer.h"

#include <jack/midiport.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <iterator>

namespace {

// The audio output is already the JACK client "Corvena"; JACK would rename a second one to
// "Corvena-01", so the MIDI client says what it is.
constexpr const char* jackClientName = "Corvena MIDI";

// One JACK MIDI event should hold one message: the bytes from a status byte up to the next
// one, or a whole SysEx up to its end byte.
std::size_t messageLength(const std::uint8_t* data, std::size_t n) {
    std::size_t length = 1;
    if (data[0] == 0xF0) {
        while (length < n && data[length - 1] != 0xF7)
            ++length;
        return length;
    }
    while (length < n && data[length] < 0x80)
        ++length;
    return length;
}

} // namespace

std::shared_ptr<JackMidiBackend> JackMidiBackend::open() {
    jack_client_t* client = JackServer::openClient(jackClientName);
    if (client == nullptr)
        return nullptr;
    std::shared_ptr<JackMidiBackend> backend(new JackMidiBackend(client));
    if (jack_activate(client) != 0) {
        std::fprintf(stderr, "%s: the JACK client could not be activated.\n",
                     midiServicesClientName);
        return nullptr;
    }
    return backend;
}

JackMidiBackend::JackMidiBackend(jack_client_t* opened) : client(opened) {
    setCallbacks(opened);
    midiThread = std::thread([this] { midiThreadLoop(); });
}

void JackMidiBackend::setCallbacks(jack_client_t* on) {
    jack_set_process_callback(on, processCallback, this);
    jack_set_port_registration_callback(on, portRegistrationCallback, this);
    jack_set_port_rename_callback(on, portRenameCallback, this);
    jack_on_shutdown(on, shutdownCallback, this);
}

JackMidiBackend::~JackMidiBackend() {
    stopping.store(true);
    inputArrived.release();
    if (midiThread.joinable())
        midiThread.join();
    if (!serverGone.load())
        jack_client_close(client.load());
}

// ---- real-time side ----

int JackMidiBackend::processCallback(jack_nframes_t frames, void* arg) {
    static_cast<JackMidiBackend*>(arg)->process(frames);
    return 0;
}

void JackMidiBackend::process(jack_nframes_t frames) {
    const std::uint64_t now = HostClock::nowNanoseconds();
    const jack_time_t nowMicroseconds = jack_get_time();
    // The previous cycle, where the events handed in now arrived: it began one period before
    // this one. (jack_frames_to_time is not asked: PipeWire's libjack answers nonsense for a
    // frame before the present cycle.)
    jack_nframes_t cycleFrame = 0;
    jack_time_t cycleStart = 0, nextCycleStart = 0;
    float periodMicroseconds = 0.0f;
    const bool timed =
        jack_get_cycle_times(client.load(std::memory_order_relaxed), &cycleFrame, &cycleStart,
                             &nextCycleStart, &periodMicroseconds) == 0 &&
        periodMicroseconds > 0.0f && frames > 0;
    bool arrived = false;
    const int count = ports.size();
    for (int i = 0; i < count; ++i) {
        PortTable::Port& slot = ports.at(i);
        jack_port_t* port = slot.jackPort.load(std::memory_order_acquire);
        if (port == nullptr)
            continue;
        void* buffer = jack_port_get_buffer(port, frames);
        if (slot.isInput) {
            const jack_nframes_t events = jack_midi_get_event_count(buffer);
            for (jack_nframes_t e = 0; e < events; ++e) {
                jack_midi_event_t event;
                if (jack_midi_event_get(&event, buffer, e) != 0 || event.size == 0 ||
                    event.size > maxEventBytes)
                    continue;
                // Each event at its own frame of the cycle before (the one it arrived in), so
                // events keep the spacing the keyboard played them with.
                const double offset = double(std::min(event.time, frames)) / frames;
                const std::uint64_t at =
                    timed ? HostClock::earlierBy(now, nowMicroseconds,
                                                 cycleStart - jack_time_t(periodMicroseconds) +
                                                     jack_time_t(offset * periodMicroseconds))
                          : now;
                arrived |= inputRing.push(static_cast<std::uint8_t>(i), at, event.buffer,
                                          static_cast<std::uint16_t>(event.size));
            }
        } else {
            jack_midi_clear_buffer(buffer);
            MidiByteRing::Record record;
            while (slot.thruRing->pop(&record, processScratch.data(), processScratch.size()))
                if (record.length <= processScratch.size())
                    jack_midi_event_write(buffer, 0, processScratch.data(), record.length);
        }
    }
    if (arrived)
        inputArrived.release();
}

// ---- MIDI thread ----

void JackMidiBackend::midiThreadLoop() {
    PortTable::Delivery delivery(ports);
    std::array<std::uint8_t, maxEventBytes> event{};
    auto lastAttempt = std::chrono::steady_clock::now();
    while (!stopping.load()) {
        if (serverGone.load() &&
            std::chrono::steady_clock::now() > lastAttempt + std::chrono::seconds(1)) {
            lastAttempt = std::chrono::steady_clock::now();
            if (reopen())
                std::fprintf(stderr, "%s: MIDI is back through %s.\n", midiServicesClientName,
                             description().c_str());
        }
        if (!inputArrived.try_acquire_for(std::chrono::milliseconds(200)))
            continue;
        MidiByteRing::Record record;
        while (inputRing.pop(&record, event.data(), event.size()))
            if (record.length <= event.size())
                delivery.add(record.port, record.timeStamp, event.data(), record.length);
        delivery.flush();
    }
}

bool JackMidiBackend::reopen() {
    // The old client went with its server and is not closed (it cannot be, cleanly).
    jack_client_t* opened = JackServer::openClient(jackClientName);
    if (opened == nullptr)
        return false;
    setCallbacks(opened);
    for (int i = 0; i < ports.size(); ++i) {
        PortTable::Port& slot = ports.at(i);
        jack_port_t* port =
            jack_port_register(opened, slot.jackName.c_str(), JACK_DEFAULT_MIDI_TYPE,
                               slot.isInput ? JackPortIsInput : JackPortIsOutput, 0);
        slot.jackPort.store(port, std::memory_order_release);
        // The thru connection was on the old server; the next message makes it again.
        while (slot.thruWriterBusy.test_and_set(std::memory_order_acquire))
            std::this_thread::yield();
        slot.thruDestination.clear();
        slot.thruHandle = 0;
        slot.thruWriterBusy.clear(std::memory_order_release);
    }
    client.store(opened, std::memory_order_release);
    serverGone.store(false);
    if (jack_activate(opened) != 0)
        return false;
    reportSetupChanged();
    return true;
}

// ---- notifications (JACK's notification thread) ----

void JackMidiBackend::portRegistrationCallback(jack_port_id_t, int, void* arg) {
    static_cast<JackMidiBackend*>(arg)->reportSetupChanged();
}

void JackMidiBackend::portRenameCallback(jack_port_id_t, const char*, const char*, void* arg) {
    static_cast<JackMidiBackend*>(arg)->reportSetupChanged();
}

void JackMidiBackend::shutdownCallback(void* arg) {
    auto* self = static_cast<JackMidiBackend*>(arg);
    self->serverGone.store(true);
    std::fprintf(stderr,
                 "%s: the JACK server went away; MIDI input has stopped until it is back.\n",
                 midiServicesClientName);
    self->reportSetupChanged();
}

std::string JackMidiBackend::description() const {
    if (JackServer::libraryIsPipeWires())
        return "PipeWire's JACK";
    return "JACK (server \"" + JackServer::name() + "\")";
}

// ---- endpoints (main thread) ----

MIDIEndpointRef JackMidiBackend::handleForLocked(const std::string& portName) {
    auto [it, inserted] = handles.try_emplace(portName, nextHandle);
    if (inserted)
        ++nextHandle;
    return it->second;
}

std::vector<std::string> JackMidiBackend::otherClientsPorts(unsigned long flags) {
    std::vector<std::string> list;
    if (serverGone.load())
        return list;
    jack_client_t* current = client.load();
    const char** names = jack_get_ports(current, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
    if (names == nullptr)
        return list;
    for (const char** name = names; *name != nullptr; ++name) {
        jack_port_t* port = jack_port_by_name(current, *name);
        if (port != nullptr && !jack_port_is_mine(current, port))
            list.emplace_back(*name);
    }
    jack_free(names);
    return list;
}

int JackMidiBackend::numberOfSources() {
    const std::vector<std::string> outputs = otherClientsPorts(JackPortIsOutput);
    const std::vector<std::string> inputs = otherClientsPorts(JackPortIsInput);
    std::vector<MIDIEndpointRef> listed;
    {
        std::lock_guard lock(mutex);
        for (const std::string& name : outputs)
            listed.push_back(handleForLocked(name));
        // A port that is gone gets a fresh handle if it comes back, like a replugged device.
        for (auto it = handles.begin(); it != handles.end();) {
            const bool present =
                std::find(outputs.begin(), outputs.end(), it->first) != outputs.end() ||
                std::find(inputs.begin(), inputs.end(), it->first) != inputs.end();
            it = present ? std::next(it) : handles.erase(it);
        }
    }
    return sources.replace(std::move(listed));
}

MIDIEndpointRef JackMidiBackend::source(int index) {
    return sources.at(index);
}

int JackMidiBackend::numberOfDestinations() {
    const std::vector<std::string> inputs = otherClientsPorts(JackPortIsInput);
    std::vector<MIDIEndpointRef> listed;
    {
        std::lock_guard lock(mutex);
        for (const std::string& name : inputs)
            listed.push_back(handleForLocked(name));
    }
    return destinations.replace(std::move(listed));
}

MIDIEndpointRef JackMidiBackend::destination(int index) {
    return destinations.at(index);
}

std::string JackMidiBackend::nameOf(MIDIEndpointRef endpoint) {
    std::lock_guard lock(mutex);
    for (const auto& [portName, handle] : handles)
        if (handle == endpoint)
            return portName;
    return {};
}

MIDIStatus JackMidiBackend::displayName(MIDIEndpointRef endpoint, std::string* out) {
    std::string portName = nameOf(endpoint);
    if (portName.empty())
        return midiUnknownEndpoint;
    *out = portName;
    return midiNoError;
}

// ---- clients and ports ----

// Every client of the program shares the one JACK client, so patchbays show one "Corvena MIDI"
// with all its ports.
MIDIStatus JackMidiBackend::createClient(const std::string&, MIDIClientRef* out) {
    return ports.addClient(out);
}

MIDIStatus JackMidiBackend::createPort(MIDIClientRef ourClient, const std::string& portName,
                                       bool isInput, MIDIReadCallback readProc, void* refCon,
                                       MIDIPortRef* out) {
    if (serverGone.load())
        return midiInvalidPort;
    auto open = [&](JackPort& slot) {
        jack_port_t* port =
            jack_port_register(client.load(), portName.c_str(), JACK_DEFAULT_MIDI_TYPE,
                               isInput ? JackPortIsInput : JackPortIsOutput, 0);
        if (port == nullptr)
            return false;
        slot.jackName = portName;
        if (!isInput)
            slot.thruRing = std::make_unique<MidiByteRing>(1 << 14);
        slot.jackPort.store(port, std::memory_order_release);
        return true;
    };
    return ports.add(ourClient, isInput, readProc, refCon, open, out);
}

std::string JackMidiBackend::jackPortName(MIDIPortRef port) {
    PortTable::Port* slot = ports.find(port);
    return slot ? jack_port_name(slot->jackPort.load()) : std::string{};
}

MIDIStatus JackMidiBackend::connectSource(MIDIPortRef port, MIDIEndpointRef source, void*) {
    PortTable::Port* input = ports.input(port);
    if (input == nullptr)
        return midiInvalidPort;
    const std::string sourceName = nameOf(source);
    if (sourceName.empty())
        return midiUnknownEndpoint;
    const int result =
        jack_connect(client.load(), sourceName.c_str(), jack_port_name(input->jackPort.load()));
    return result == 0 || result == EEXIST ? midiNoError : midiUnknownEndpoint;
}

MIDIStatus JackMidiBackend::disconnectSource(MIDIPortRef port, MIDIEndpointRef source) {
    PortTable::Port* input = ports.input(port);
    if (input == nullptr)
        return midiInvalidPort;
    const std::string sourceName = nameOf(source);
    if (sourceName.empty())
        return midiUnknownEndpoint;
    jack_disconnect(client.load(), sourceName.c_str(), jack_port_name(input->jackPort.load()));
    return midiNoError;
}

// Called on the MIDI thread by MIDI thru. Only a change of destination talks to the server;
// the bytes themselves go through the thru ring to the process callback.
MIDIStatus JackMidiBackend::send(MIDIPortRef port, MIDIEndpointRef destination,
                                 const MIDIPacketList& list) {
    PortTable::Port* slot = ports.output(port);
    if (slot == nullptr)
        return midiInvalidPort;
    if (slot->thruWriterBusy.test_and_set(std::memory_order_acquire))
        return midiNotPermitted; // another thread is sending on this port right now
    MIDIStatus status = midiNoError;
    if (destination != slot->thruHandle) {
        const std::string destinationName = nameOf(destination);
        const char* ours = jack_port_name(slot->jackPort.load());
        if (!slot->thruDestination.empty())
            jack_disconnect(client.load(), ours, slot->thruDestination.c_str());
        slot->thruDestination = destinationName;
        slot->thruHandle = destinationName.empty() ? 0 : destination;
        if (!destinationName.empty())
            jack_connect(client.load(), ours, destinationName.c_str());
    }
    if (slot->thruHandle == 0) {
        status = midiUnknownEndpoint;
    } else {
        MIDIPacketListReader reader(list);
        MIDIPacketView packet;
        while (reader.next(&packet)) {
            std::size_t at = 0;
            while (at < packet.length) {
                const std::size_t n = messageLength(packet.data + at, packet.length - at);
                slot->thruRing->push(0, packet.timeStamp, packet.data + at,
                                     static_cast<std::uint16_t>(n));
                at += n;
            }
        }
    }
    slot->thruWriterBusy.clear(std::memory_order_release);
    return status;
}
