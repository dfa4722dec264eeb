#include "AlsaMidiBackend.h"

#include "AlsaEventBytes.h"
#include "HostClock.h"

#include <poll.h>

#include <array>
#include <cstdio>

namespace {

void silentAlsaError(const char*, int, const char*, int, const char*, ...) {}

MIDIEndpointRef handleOf(int client, int port) {
    return static_cast<MIDIEndpointRef>(client) << 8 | static_cast<MIDIEndpointRef>(port & 0xFF);
}
int clientOf(MIDIEndpointRef handle) {
    return static_cast<int>(handle >> 8);
}
int portOf(MIDIEndpointRef handle) {
    return static_cast<int>(handle & 0xFF);
}

} // namespace

std::shared_ptr<AlsaMidiBackend> AlsaMidiBackend::open() {
    // Without a sequencer device the library would print its own complaint; the services
    // front says once, in its own words, that MIDI is unavailable.
    snd_lib_error_set_handler(silentAlsaError);
    snd_seq_t* seq = nullptr;
    const int result = snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
    snd_lib_error_set_handler(nullptr);
    if (result < 0)
        return nullptr;
    snd_seq_set_client_name(seq, midiServicesClientName);
    const int announcePort = snd_seq_create_simple_port(
        seq, "announcements", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
        SND_SEQ_PORT_TYPE_APPLICATION);
    if (announcePort >= 0)
        snd_seq_connect_from(seq, announcePort, SND_SEQ_CLIENT_SYSTEM,
                             SND_SEQ_PORT_SYSTEM_ANNOUNCE);
    return std::shared_ptr<AlsaMidiBackend>(new AlsaMidiBackend(seq, announcePort));
}

AlsaMidiBackend::AlsaMidiBackend(snd_seq_t* seq, int announcePort)
    : seq(seq), ourClient(snd_seq_client_id(seq)), announcePort(announcePort) {
    midiThread = std::thread([this] { midiThreadLoop(); });
}

AlsaMidiBackend::~AlsaMidiBackend() {
    stopping.store(true);
    if (midiThread.joinable())
        midiThread.join();
    snd_seq_close(seq);
}

void AlsaMidiBackend::midiThreadLoop() {
    PortTable::Delivery delivery(ports);
    std::array<std::uint8_t, 1024> bytes{};
    const int fdCount = snd_seq_poll_descriptors_count(seq, POLLIN);
    std::vector<pollfd> fds(static_cast<std::size_t>(fdCount > 0 ? fdCount : 1));
    snd_seq_poll_descriptors(seq, fds.data(), static_cast<unsigned>(fds.size()), POLLIN);
    while (!stopping.load()) {
        if (poll(fds.data(), fds.size(), 200) <= 0)
            continue;
        bool setupChanged = false;
        for (;;) {
            snd_seq_event_t* event = nullptr;
            const int result = snd_seq_event_input(seq, &event);
            if (result == -ENOSPC)
                continue; // the kernel queue overran; what is left is still worth reading
            if (result < 0 || event == nullptr)
                break;
            if (event->dest.port == announcePort) {
                setupChanged |= alsaEventIsSetupChange(*event);
                continue;
            }
            const int index = portIndexForAlsaPort(event->dest.port);
            const std::size_t n = alsaEventToMidiBytes(*event, bytes.data(), bytes.size());
            if (index >= 0 && n > 0)
                delivery.add(index, HostClock::nowNanoseconds(), bytes.data(),
                             static_cast<std::uint16_t>(n));
        }
        delivery.flush();
        if (setupChanged)
            reportSetupChanged();
    }
}

int AlsaMidiBackend::portIndexForAlsaPort(int alsaPort) const {
    const int count = ports.size();
    for (int i = 0; i < count; ++i) {
        const PortTable::Port& port = ports.at(i);
        if (port.isInput && port.alsaPort.load(std::memory_order_acquire) == alsaPort)
            return i;
    }
    return -1;
}

std::vector<MIDIEndpointRef> AlsaMidiBackend::listPorts(unsigned int capabilities) {
    std::vector<MIDIEndpointRef> list;
    snd_seq_client_info_t* clientInfo;
    snd_seq_port_info_t* portInfo;
    snd_seq_client_info_alloca(&clientInfo);
    snd_seq_port_info_alloca(&portInfo);
    snd_seq_client_info_set_client(clientInfo, -1);
    while (snd_seq_query_next_client(seq, clientInfo) >= 0) {
        const int client = snd_seq_client_info_get_client(clientInfo);
        if (client == ourClient || client == SND_SEQ_CLIENT_SYSTEM)
            continue;
        snd_seq_port_info_set_client(portInfo, client);
        snd_seq_port_info_set_port(portInfo, -1);
        while (snd_seq_query_next_port(seq, portInfo) >= 0) {
            const unsigned int caps = snd_seq_port_info_get_capability(portInfo);
            if ((caps & capabilities) == capabilities && !(caps & SND_SEQ_PORT_CAP_NO_EXPORT))
                list.push_back(handleOf(client, snd_seq_port_info_get_port(portInfo)));
        }
    }
    return list;
}

int AlsaMidiBackend::numberOfSources() {
    return sources.replace(listPorts(SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ));
}

MIDIEndpointRef AlsaMidiBackend::source(int index) {
    return sources.at(index);
}

int AlsaMidiBackend::numberOfDestinations() {
    return destinations.replace(listPorts(SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE));
}

MIDIEndpointRef AlsaMidiBackend::destination(int index) {
    return destinations.at(index);
}

MIDIStatus AlsaMidiBackend::displayName(MIDIEndpointRef endpoint, std::string* out) {
    snd_seq_port_info_t* portInfo;
    snd_seq_port_info_alloca(&portInfo);
    if (snd_seq_get_any_port_info(seq, clientOf(endpoint), portOf(endpoint), portInfo) < 0)
        return midiUnknownEndpoint;
    const char* portName = snd_seq_port_info_get_name(portInfo);
    if (portName == nullptr || *portName == '\0')
        return midiUnknownProperty;
    *out = portName;
    return midiNoError;
}

// One sequencer client, "Corvena", holds the ports of every client the program creates.
MIDIStatus AlsaMidiBackend::createClient(const std::string&, MIDIClientRef* out) {
    return ports.addClient(out);
}

MIDIStatus AlsaMidiBackend::createPort(MIDIClientRef client, const std::string& portName,
                                       bool isInput, MIDIReadCallback readProc, void* refCon,
                                       MIDIPortRef* out) {
    auto open = [&](SequencerPort& port) {
        const unsigned int caps = isInput ? SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE
                                          : SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
        const int alsaPort = snd_seq_create_simple_port(seq, portName.c_str(), caps,
                                                        SND_SEQ_PORT_TYPE_MIDI_GENERIC |
                                                            SND_SEQ_PORT_TYPE_APPLICATION);
        if (alsaPort < 0)
            return false;
        port.alsaPort.store(alsaPort, std::memory_order_release);
        return true;
    };
    return ports.add(client, isInput, readProc, refCon, open, out);
}

MIDIStatus AlsaMidiBackend::connectSource(MIDIPortRef port, MIDIEndpointRef source, void*) {
    PortTable::Port* input = ports.input(port);
    if (input == nullptr)
        return midiInvalidPort;
    const int result =
        snd_seq_connect_from(seq, input->alsaPort.load(), clientOf(source), portOf(source));
    return result == 0 || result == -EBUSY ? midiNoError : midiUnknownEndpoint;
}

MIDIStatus AlsaMidiBackend::disconnectSource(MIDIPortRef port, MIDIEndpointRef source) {
    PortTable::Port* input = ports.input(port);
    if (input == nullptr)
        return midiInvalidPort;
    snd_seq_disconnect_from(seq, input->alsaPort.load(), clientOf(source), portOf(source));
    return midiNoError;
}

// MIDI thru goes straight to the destination port, so no subscription has to follow the
// selection.
MIDIStatus AlsaMidiBackend::send(MIDIPortRef port, MIDIEndpointRef destination,
                                 const MIDIPacketList& list) {
    PortTable::Port* output = ports.output(port);
    if (output == nullptr)
        return midiInvalidPort;
    MIDIPacketListReader reader(list);
    MIDIPacketView packet;
    while (reader.next(&packet)) {
        std::size_t at = 0;
        while (at < packet.length) {
            snd_seq_event_t event;
            snd_seq_ev_clear(&event);
            at += midiBytesToAlsaEvent(packet.data + at, packet.length - at, &event);
            if (event.type == SND_SEQ_EVENT_NONE)
                continue;
            snd_seq_ev_set_source(&event, output->alsaPort.load());
            snd_seq_ev_set_dest(&event, clientOf(destination), portOf(destination));
            snd_seq_ev_set_direct(&event);
            snd_seq_event_output_direct(seq, &event);
        }
    }
    return midiNoError;
}
