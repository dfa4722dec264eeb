#include "MIDIObject.h"

#include "MIDIInput.h"

#include <algorithm>
#include <cstdio>

MIDIObject midiObject;

namespace {

portInfo describe(const char* type, MIDIEndpointRef endpoint) {
    std::string name;
    if (MIDIObjectGetStringProperty(endpoint, kMIDIPropertyDisplayName, &name) != midiNoError ||
        name.empty())
        name = unnamedEndpointName(endpoint);
    return {0, type, endpoint, name};
}

int indexOf(const std::vector<portInfo>& list, MIDIEndpointRef endpoint) {
    auto it = std::find_if(list.begin(), list.end(),
                           [&](const portInfo& info) { return info.endpointRef == endpoint; });
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

bool isValidIndex(const std::vector<portInfo>& list, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < list.size();
}

} // namespace

std::string unnamedEndpointName(MIDIEndpointRef endpoint) {
    return "Unnamed MIDI endpoint " + std::to_string(endpoint);
}

void MIDIObject::initialize() {
    getPortInfo();
    MIDIClientCreate("inputClient", MIDINotifyProc, nullptr, &inputClientRef);
    MIDIInputPortCreate(inputClientRef, "inputPort", MIDIInputProc, nullptr, &inputPortRef);
    MIDIClientCreate("outputClient", MIDINotifyProc, nullptr, &outputClientRef);
    MIDIPortRef port = 0;
    MIDIOutputPortCreate(outputClientRef, "outputPort", &port);
    outputPortRef.store(port, std::memory_order_release);
}

void MIDIObject::getPortInfo() {
    inputPortInfoArray.clear();
    outputPortInfoArray.clear();
    const int sources = MIDIGetNumberOfSources();
    for (int i = 0; i < sources; ++i)
        inputPortInfoArray.push_back(describe("Input", MIDIGetSource(i)));
    const int destinations = MIDIGetNumberOfDestinations();
    for (int i = 0; i < destinations; ++i)
        outputPortInfoArray.push_back(describe("Output", MIDIGetDestination(i)));
}

void MIDIObject::inputConnect(int portInfoIndex) {
    if (!isValidIndex(inputPortInfoArray, portInfoIndex)) {
        std::fprintf(stderr,
                     "Corvena: there is no MIDI source number %d to connect (%zu listed).\n",
                     portInfoIndex, inputPortInfoArray.size());
        return;
    }
    currentInputPortInfoIndex = portInfoIndex;
    const MIDIEndpointRef source =
        inputPortInfoArray[static_cast<std::size_t>(portInfoIndex)].endpointRef;
    MIDIPortConnectSource(inputPortRef, source, nullptr);
    inputEndpointRef.push_back(source);
}

void MIDIObject::inputDisconnect() {
    for (MIDIEndpointRef source : inputEndpointRef)
        MIDIPortDisconnectSource(inputPortRef, source);
    inputEndpointRef.clear();
}

void MIDIObject::outputConnect(int portInfoIndex) {
    if (!isValidIndex(outputPortInfoArray, portInfoIndex)) {
        std::fprintf(stderr,
                     "Corvena: there is no MIDI destination number %d to select (%zu listed).\n",
                     portInfoIndex, outputPortInfoArray.size());
        return;
    }
    outputEndpointRef.store(
        outputPortInfoArray[static_cast<std::size_t>(portInfoIndex)].endpointRef,
        std::memory_order_relaxed);
    currentOutputPortInfoIndex.store(portInfoIndex, std::memory_order_release);
}

void MIDIObject::dropOutputDestination() {
    currentOutputPortInfoIndex.store(none, std::memory_order_release);
}

void MIDIObject::MIDIInputConnectAll() {
    inputDisconnect();
    const int sources = MIDIGetNumberOfSources();
    for (int i = 0; i < sources; ++i) {
        currentInputPortInfoIndex = i;
        const MIDIEndpointRef source = MIDIGetSource(i);
        MIDIPortConnectSource(inputPortRef, source, nullptr);
        inputEndpointRef.push_back(source);
    }
    currentInputPortInfoIndex = allSources;
}

void MIDIObject::inputUpdate() {
    const int inputMode = currentInputPortInfoIndex;
    const bool hadSource = !inputEndpointRef.empty();
    const MIDIEndpointRef chosenSource = hadSource ? inputEndpointRef.front() : 0;
    const bool hadDestination = hasOutputDestination();
    const MIDIEndpointRef chosenDestination = outputEndpointRef.load(std::memory_order_relaxed);

    inputDisconnect();
    dropOutputDestination();
    getPortInfo();

    if (!inputPortInfoArray.empty()) {
        if (inputMode == allSources) {
            MIDIInputConnectAll();
        } else if (inputMode >= 0) {
            currentInputPortInfoIndex = none;
            if (hadSource) {
                const int index = indexOf(inputPortInfoArray, chosenSource);
                if (index >= 0)
                    inputConnect(index);
            }
        }
    }
    if (!outputPortInfoArray.empty() && hadDestination) {
        const int index = indexOf(outputPortInfoArray, chosenDestination);
        if (index >= 0)
            outputConnect(index);
    }
    if (currentInputPortInfoIndex == none)
        inputDisconnect();
    if (currentOutputPortInfoIndex.load() == none)
        dropOutputDestination();
    if (delegate != nullptr)
        delegate->midiPortInfoDidUpdate();
}
