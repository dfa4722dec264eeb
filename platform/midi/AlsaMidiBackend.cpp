#include "AlsaMidiBackend.h"

#include "AlsaEventBytes.h"
#include "HostClock.h"

#include <poll.h>

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
    std::array<std::uint8_t, packetListBytes> listBuffer{};
    std::array<std::uint8_t, 1024> bytes{};
    MIDIPacketListWriter writer(listBuffer.data(), listBuffer.size());
    const int fdCount = snd_seq_poll_descriptors_count(seq, POLLIN);
    std::vector<pollfd> fds(static_cast<std::size_t>(fdCount > 0 ? fdCount : 1));
    snd_seq_poll_descriptors(seq, fds.data(), static_cast<unsigned>(fds.size()), POLLIN);
    while (!stopping.load()) {
        if (poll(fds.data(), fds.size(), 200) <= 0)
            continue;
        int listSlot = -1;
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
            const int slot = slotIndexForAlsaPort(event->dest.port);
            const std::size_t n = alsaEventToMidiBytes(*event, bytes.data(), bytes.size());
            if (slot < 0 || n == 0)
                continue;
            if (slot != listSlot || writer.dataRoom() < n) {
                deliver(listSlot, writer);
                listSlot = slot;
            }
            writer.add(HostClock::nowNanoseconds(), bytes.data(), static_cast<std::uint16_t>(n));
        }
        deliver(listSlot, writer);
        if (setupChanged)
            reportSetupChanged();
    }
}

void AlsaMidiBackend::deliver(int slotIndex, MIDIPacketListWriter& writer) {
    if (slotIndex >= 0 && !writer.isEmpty())
        ports.deliver(slotIndex, writer.list());
    writer.clear();
}

int AlsaMidiBackend::slotIndexForAlsaPort(int alsaPort) const {
    const int count = ports.size();
    for (int i = 0; i < count; ++i) {
        const PortSlot& slot = ports.at(i);
        if (slot.isInput && slot.alsaPort.load(std::memory_order_acquire) == alsaPort)
            return i;
    }
    return -1;
}

void AlsaMidiBackend::reportSetupChanged() {
    if (notifierSet.load(std::memory_order_acquire) && notifier)
        notifier();
}

// Set once, right after opening; a second one would be written while the MIDI thread may be
// reading the first, so it is refused.
void AlsaMidiBackend::setSetupChangedNotifier(SetupChangedNotifier n) {
    if (notifierSet.load(std::memory_order_acquire))
        return;
    notifier = std::move(n);
    notifierSet.store(true, std::memory_order_release);
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
    std::vector<MIDIEndpointRef> listed =
        listPorts(SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ);
    std::lock_guard lock(mutex);
    sourceList = std::move(listed);
    return static_cast<int>(sourceList.size());
}

MIDIEndpointRef AlsaMidiBackend::source(int index) {
    std::lock_guard lock(mutex);
    return index >= 0 && static_cast<std::size_t>(index) < sourceList.size()
               ? sourceList[static_cast<std::size_t>(index)]
               : 0;
}

int AlsaMidiBackend::numberOfDestinations() {
    std::vector<MIDIEndpointRef> listed =
        listPorts(SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE);
    std::lock_guard lock(mutex);
    destinationList = std::move(listed);
    return static_cast<int>(destinationList.size());
}

MIDIEndpointRef AlsaMidiBackend::destination(int index) {
    std::lock_guard lock(mutex);
    return index >= 0 && static_cast<std::size_t>(index) < destinationList.size()
               ? destinationList[static_cast<std::size_t>(index)]
               : 0;
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

MIDIStatus AlsaMidiBackend::createClient(const std::string&, MIDIClientRef* out) {
    // One sequencer client, "Corvena", holds the ports of every client the program creates.
    std::lock_guard lock(mutex);
    *out = nextClient++;
    return midiNoError;
}

MIDIStatus AlsaMidiBackend::createInputPort(MIDIClientRef client, const std::string& portName,
                                            MIDIReadCallback readProc, void* refCon,
                                            MIDIPortRef* out) {
    if (client == 0)
        return midiInvalidClient;
    return makePort(portName, true, readProc, refCon, out);
}

MIDIStatus AlsaMidiBackend::createOutputPort(MIDIClientRef client, const std::string& portName,
                                             MIDIPortRef* out) {
    if (client == 0)
        return midiInvalidClient;
    return makePort(portName, false, nullptr, nullptr, out);
}

MIDIStatus AlsaMidiBackend::makePort(const std::string& portName, bool isInput,
                                     MIDIReadCallback readProc, void* refCon, MIDIPortRef* out) {
    auto open = [&](PortSlot& slot) {
        const unsigned int caps = isInput ? SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE
                                          : SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
        const int alsaPort = snd_seq_create_simple_port(seq, portName.c_str(), caps,
                                                        SND_SEQ_PORT_TYPE_MIDI_GENERIC |
                                                            SND_SEQ_PORT_TYPE_APPLICATION);
        if (alsaPort < 0)
            return false;
        slot.alsaPort.store(alsaPort, std::memory_order_release);
        return true;
    };
    return ports.add(isInput, readProc, refCon, open, out);
}

MIDIStatus AlsaMidiBackend::connectSource(MIDIPortRef port, MIDIEndpointRef source, void*) {
    PortSlot* slot = ports.find(port);
    if (slot == nullptr || !slot->isInput)
        return midiInvalidPort;
    const int result =
        snd_seq_connect_from(seq, slot->alsaPort.load(), clientOf(source), portOf(source));
    return result == 0 || result == -EBUSY ? midiNoError : midiUnknownEndpoint;
}

MIDIStatus AlsaMidiBackend::disconnectSource(MIDIPortRef port, MIDIEndpointRef source) {
    PortSlot* slot = ports.find(port);
    if (slot == nullptr || !slot->isInput)
        return midiInvalidPort;
    snd_seq_disconnect_from(seq, slot->alsaPort.load(), clientOf(source), portOf(source));
    return midiNoError;
}

// MIDI thru goes straight to the destination port, so no subscription has to follow the
// selection.
MIDIStatus AlsaMidiBackend::send(MIDIPortRef port, MIDIEndpointRef destination,
                                 const MIDIPacketList& list) {
    PortSlot* slot = ports.find(port);
    if (slot == nullptr || slot->isInput)
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
            snd_seq_ev_set_source(&event, slot->alsaPort.load());
            snd_seq_ev_set_dest(&event, clientOf(destination), portOf(destination));
            snd_seq_ev_set_direct(&event);
            snd_seq_event_output_direct(seq, &event);
        }
    }
    return midiNoError;
}
