#include "InProcessMidiBackend.h"

#include <algorithm>
#include <array>

MIDIEndpointRef InProcessMidiBackend::addSource(const std::string& name, bool nameReadable) {
    return addEndpoint(name, nameReadable, true);
}

MIDIEndpointRef InProcessMidiBackend::addDestination(const std::string& name, bool nameReadable) {
    return addEndpoint(name, nameReadable, false);
}

MIDIEndpointRef InProcessMidiBackend::addEndpoint(const std::string& name, bool nameReadable,
                                                  bool isSource) {
    MIDIEndpointRef ref;
    {
        std::lock_guard lock(mutex);
        ref = nextRef++;
        endpoints.push_back({ref, name, nameReadable, isSource, {}});
    }
    reportSetupChanged();
    return ref;
}

bool InProcessMidiBackend::removeEndpoint(MIDIEndpointRef endpoint) {
    {
        std::lock_guard lock(mutex);
        auto it = std::find_if(endpoints.begin(), endpoints.end(),
                               [&](const Endpoint& e) { return e.ref == endpoint; });
        if (it == endpoints.end())
            return false;
        endpoints.erase(it);
        for (int p = 0; p < ports.size(); ++p) {
            PortTable::Port& port = ports.at(p);
            for (std::size_t i = port.sources.size(); i-- > 0;) {
                if (port.sources[i] == endpoint) {
                    port.sources.erase(port.sources.begin() + static_cast<std::ptrdiff_t>(i));
                    port.connRefCons.erase(port.connRefCons.begin() +
                                           static_cast<std::ptrdiff_t>(i));
                }
            }
        }
    }
    reportSetupChanged();
    return true;
}

bool InProcessMidiBackend::sendFromSource(MIDIEndpointRef source, const MIDIPacketList& list) {
    struct Target {
        MIDIReadCallback readProc;
        void* refCon;
        void* connRefCon;
    };
    std::array<Target, maxPortsPerSource> targets;
    std::size_t count = 0;
    {
        std::lock_guard lock(mutex);
        Endpoint* endpoint = findEndpoint(source);
        if (endpoint == nullptr || !endpoint->isSource)
            return false;
        for (int p = 0; p < ports.size(); ++p) {
            const PortTable::Port& port = ports.at(p);
            for (std::size_t i = 0; i < port.sources.size() && count < targets.size(); ++i)
                if (port.sources[i] == source && port.readProc != nullptr)
                    targets[count++] = {port.readProc, port.refCon, port.connRefCons[i]};
        }
    }
    for (std::size_t i = 0; i < count; ++i)
        targets[i].readProc(&list, targets[i].refCon, targets[i].connRefCon);
    return true;
}

bool InProcessMidiBackend::sendBytesFromSource(MIDIEndpointRef source,
                                               const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> image(midiPacketListHeaderBytes + midiPacketHeaderBytes +
                                    bytes.size());
    MIDIPacketListWriter writer(image.data(), image.size());
    writer.add(0, bytes.data(), static_cast<std::uint16_t>(bytes.size()));
    return sendFromSource(source, writer.list());
}

std::vector<std::vector<std::uint8_t>>
InProcessMidiBackend::receivedBy(MIDIEndpointRef destination) {
    std::lock_guard lock(mutex);
    Endpoint* endpoint = findEndpoint(destination);
    return endpoint ? endpoint->received : std::vector<std::vector<std::uint8_t>>{};
}

std::vector<MIDIEndpointRef> InProcessMidiBackend::connectedSources(MIDIPortRef port) {
    PortTable::Port* p = ports.find(port);
    std::lock_guard lock(mutex);
    return p ? p->sources : std::vector<MIDIEndpointRef>{};
}

std::vector<std::string> InProcessMidiBackend::clientNames() {
    std::lock_guard lock(mutex);
    return clients;
}

int InProcessMidiBackend::numberOfSources() {
    std::lock_guard lock(mutex);
    return static_cast<int>(std::count_if(endpoints.begin(), endpoints.end(),
                                          [](const Endpoint& e) { return e.isSource; }));
}

MIDIEndpointRef InProcessMidiBackend::source(int index) {
    std::lock_guard lock(mutex);
    return nthEndpoint(index, true);
}

int InProcessMidiBackend::numberOfDestinations() {
    std::lock_guard lock(mutex);
    return static_cast<int>(std::count_if(endpoints.begin(), endpoints.end(),
                                          [](const Endpoint& e) { return !e.isSource; }));
}

MIDIEndpointRef InProcessMidiBackend::destination(int index) {
    std::lock_guard lock(mutex);
    return nthEndpoint(index, false);
}

MIDIStatus InProcessMidiBackend::displayName(MIDIEndpointRef endpoint, std::string* out) {
    std::lock_guard lock(mutex);
    Endpoint* e = findEndpoint(endpoint);
    if (e == nullptr)
        return midiUnknownEndpoint;
    if (!e->nameReadable)
        return midiUnknownProperty;
    *out = e->name;
    return midiNoError;
}

MIDIStatus InProcessMidiBackend::createClient(const std::string& clientName, MIDIClientRef* out) {
    std::lock_guard lock(mutex);
    clients.push_back(clientName);
    return ports.addClient(out);
}

MIDIStatus InProcessMidiBackend::createPort(MIDIClientRef client, const std::string&, bool isInput,
                                            MIDIReadCallback readProc, void* refCon,
                                            MIDIPortRef* out) {
    return ports.add(
        client, isInput, readProc, refCon, [](Connections&) { return true; }, out);
}

MIDIStatus InProcessMidiBackend::connectSource(MIDIPortRef port, MIDIEndpointRef source,
                                               void* connRefCon) {
    PortTable::Port* p = ports.input(port);
    if (p == nullptr)
        return midiInvalidPort;
    std::lock_guard lock(mutex);
    Endpoint* e = findEndpoint(source);
    if (e == nullptr || !e->isSource)
        return midiUnknownEndpoint;
    // Connecting twice is one connection, as with the real services.
    if (std::find(p->sources.begin(), p->sources.end(), source) == p->sources.end()) {
        p->sources.push_back(source);
        p->connRefCons.push_back(connRefCon);
    }
    return midiNoError;
}

MIDIStatus InProcessMidiBackend::disconnectSource(MIDIPortRef port, MIDIEndpointRef source) {
    PortTable::Port* p = ports.find(port);
    if (p == nullptr)
        return midiInvalidPort;
    std::lock_guard lock(mutex);
    auto it = std::find(p->sources.begin(), p->sources.end(), source);
    if (it == p->sources.end())
        return midiUnknownEndpoint;
    p->connRefCons.erase(p->connRefCons.begin() + (it - p->sources.begin()));
    p->sources.erase(it);
    return midiNoError;
}

MIDIStatus InProcessMidiBackend::send(MIDIPortRef port, MIDIEndpointRef destination,
                                      const MIDIPacketList& list) {
    if (ports.output(port) == nullptr)
        return midiInvalidPort;
    std::lock_guard lock(mutex);
    Endpoint* e = findEndpoint(destination);
    if (e == nullptr || e->isSource)
        return midiUnknownEndpoint;
    e->received.emplace_back(list.bytes, list.bytes + list.size);
    return midiNoError;
}

InProcessMidiBackend::Endpoint* InProcessMidiBackend::findEndpoint(MIDIEndpointRef ref) {
    for (Endpoint& e : endpoints)
        if (e.ref == ref)
            return &e;
    return nullptr;
}

MIDIEndpointRef InProcessMidiBackend::nthEndpoint(int index, bool isSource) {
    for (const Endpoint& e : endpoints)
        if (e.isSource == isSource && index-- == 0)
            return e.ref;
    return 0;
}
