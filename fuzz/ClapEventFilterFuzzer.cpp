// libFuzzer entry for the CLAP plugin's event input: any byte string, cut into events whose
// headers say what they like (size, time, space, type), goes through ClapEventFilter, which
// stands between a host's event list and DPF's wrapper. What it hands on must be events DPF can
// take blindly: known types of their exact size, parameters the plugin has with finite values,
// velocities in [0, 1], times in order inside the block. Anything else is a crash for the fuzzer
// to keep.
#include "ClapEventFilter.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct Input {
    std::vector<std::vector<uint8_t>> events; // each at least a header long
};

uint32_t count(const clap_input_events_t* list) {
    return uint32_t(static_cast<const Input*>(list->ctx)->events.size());
}

const clap_event_header_t* get(const clap_input_events_t* list, uint32_t index) {
    const auto& events = static_cast<const Input*>(list->ctx)->events;
    return index < events.size()
               ? reinterpret_cast<const clap_event_header_t*>(events[index].data())
               : nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr uint32_t parameters = 20;
    if (size < 2)
        return 0;
    uint32_t frames = data[0] | (uint32_t(data[1]) << 8);
    data += 2;
    size -= 2;
    // Each event: one length byte, then that many bytes (a header at the least), in a buffer of
    // its own so that a read past what the header claims is caught.
    Input input;
    while (size > 0) {
        const size_t length = std::max<size_t>(data[0], sizeof(clap_event_header_t));
        data += 1;
        size -= 1;
        std::vector<uint8_t> event(length, 0);
        std::memcpy(event.data(), data, std::min(length, size));
        const size_t used = std::min(length, size);
        data += used;
        size -= used;
        // The header's size is the host's word; a host cannot lie about its own buffer.
        auto* header = reinterpret_cast<clap_event_header_t*>(event.data());
        if (header->size > length)
            header->size = uint32_t(length);
        input.events.push_back(std::move(event));
    }
    const clap_input_events_t list{&input, count, get};

    static ClapEventFilter filter(parameters);
    const clap_input_events_t* out = filter.filter(&list, frames);
    uint32_t last = 0;
    for (uint32_t i = 0; i < out->size(out); ++i) {
        const clap_event_header_t* event = out->get(out, i);
        bool good = event->space_id == CLAP_CORE_EVENT_SPACE_ID && event->time >= last &&
                    (event->time < frames || (frames == 0 && event->time == 0));
        switch (event->type) {
        case CLAP_EVENT_NOTE_ON:
        case CLAP_EVENT_NOTE_OFF:
            good = good && event->size == sizeof(clap_event_note_t) &&
                   reinterpret_cast<const clap_event_note_t*>(event)->velocity >= 0.0 &&
                   reinterpret_cast<const clap_event_note_t*>(event)->velocity <= 1.0;
            break;
        case CLAP_EVENT_MIDI:
            good = good && event->size == sizeof(clap_event_midi_t);
            break;
        case CLAP_EVENT_PARAM_VALUE: {
            const auto* param = reinterpret_cast<const clap_event_param_value_t*>(event);
            good = good && event->size == sizeof(clap_event_param_value_t) &&
                   param->param_id < parameters && std::isfinite(param->value);
            break;
        }
        default:
            good = false;
        }
        if (!good)
            __builtin_trap();
        last = event->time;
    }
    return 0;
}
