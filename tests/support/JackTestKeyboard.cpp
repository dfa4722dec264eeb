#include "JackTestKeyboard.h"

#include <jack/midiport.h>

#include <algorithm>
#include <chrono>
#include <thread>

JackTestKeyboard::JackTestKeyboard(const char* clientName) {
    client = jack_client_open(clientName, JackNoStartServer, nullptr);
    if (client == nullptr)
        return;
    port = jack_port_register(client, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    input = jack_port_register(client, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client, process, this);
    jack_activate(client);
}

JackTestKeyboard::~JackTestKeyboard() {
    if (client != nullptr)
        jack_client_close(client);
}

bool JackTestKeyboard::isConnectedTo(const std::string& other) const {
    return jack_port_connected_to(port, other.c_str()) != 0;
}

bool JackTestKeyboard::isConnectedToAnything() const {
    return jack_port_connected(port) > 0;
}

void JackTestKeyboard::play(const Bytes& message) {
    while (!pending.push(0, 0, message.data(), static_cast<std::uint16_t>(message.size())))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void JackTestKeyboard::playInOneCycle(const std::vector<std::pair<Bytes, jack_nframes_t>>& timed) {
    holding.store(true, std::memory_order_release);
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // a running cycle finishes
    for (const auto& [message, frame] : timed)
        pending.push(0, frame, message.data(), static_cast<std::uint16_t>(message.size()));
    holding.store(false, std::memory_order_release);
}

bool JackTestKeyboard::heard(Bytes* message) {
    std::uint8_t data[16];
    MidiByteRing::Record record;
    if (!received.pop(&record, data, sizeof data))
        return false;
    message->assign(data, data + record.length);
    return true;
}

int JackTestKeyboard::process(jack_nframes_t frames, void* arg) {
    auto* self = static_cast<JackTestKeyboard*>(arg);
    void* buffer = jack_port_get_buffer(self->port, frames);
    jack_midi_clear_buffer(buffer);
    std::uint8_t data[16];
    MidiByteRing::Record record;
    while (!self->holding.load(std::memory_order_acquire) &&
           self->pending.pop(&record, data, sizeof data))
        jack_midi_event_write(buffer,
                              jack_nframes_t(std::min<std::uint64_t>(record.timeStamp, frames - 1)),
                              data, record.length);
    void* in = jack_port_get_buffer(self->input, frames);
    const jack_nframes_t count = jack_midi_get_event_count(in);
    for (jack_nframes_t e = 0; e < count; ++e) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, in, e) == 0 && event.size <= 16)
            self->received.push(0, 0, event.buffer, static_cast<std::uint16_t>(event.size));
    }
    return 0;
}
