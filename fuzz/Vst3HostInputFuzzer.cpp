// libFuzzer entry for the VST3 plugin's input: any byte string, cut into events (type, frame,
// pitch, velocity as raw bits) and parameter points (raw double bits), read through
// Vst3HostInput as DPF's processor reads it, for the whole block and for each piece of a long
// one. What comes out must be what DPF can take unchecked: notes and pressures of MIDI's range
// with values in [0, 1], frames in order, parameter values in [0, 1]; and as many events as the
// count said. Anything else is a crash for the fuzzer to keep.
#include "Vst3HostInput.h"
#include "Vst3HostLists.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

template <typename T> T take(const uint8_t*& data, size_t& size) {
    T value{};
    const size_t n = size < sizeof(T) ? size : sizeof(T);
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

void check(bool good) {
    if (!good)
        std::abort();
}

void readPiece(const v3_process_data& data, int32_t start, int32_t length) {
    Vst3HostInput input(data, start, length, start == 0);
    if (v3_event_list** list = input.events()) {
        const uint32_t count = v3_cpp_obj(list)->get_event_count(list);
        int32_t last = INT32_MIN;
        for (uint32_t i = 0; i < count; ++i) {
            v3_event event{};
            check(v3_cpp_obj(list)->get_event(list, int32_t(i), &event) == V3_OK);
            check(event.sample_offset >= last);
            last = event.sample_offset;
            const auto unit = [](float v) { return v >= 0.0f && v <= 1.0f; };
            switch (event.type) {
            case V3_EVENT_NOTE_ON:
                check(event.note_on.pitch >= 0 && event.note_on.pitch <= 127);
                check(unit(event.note_on.velocity));
                break;
            case V3_EVENT_NOTE_OFF:
                check(event.note_off.pitch >= 0 && event.note_off.pitch <= 127);
                check(unit(event.note_off.velocity));
                break;
            case V3_EVENT_POLY_PRESSURE:
                check(event.poly_pressure.pitch >= 0 && event.poly_pressure.pitch <= 127);
                check(unit(event.poly_pressure.pressure));
                break;
            default:
                break;
            }
        }
        v3_event past{};
        check(v3_cpp_obj(list)->get_event(list, int32_t(count), &past) != V3_OK);
    }
    if (v3_param_changes** changes = input.parameters()) {
        for (int32_t q = 0, n = v3_cpp_obj(changes)->get_param_count(changes); q < n; ++q) {
            v3_param_value_queue** queue = v3_cpp_obj(changes)->get_param_data(changes, q);
            check(queue != nullptr);
            for (int32_t p = 0, points = v3_cpp_obj(queue)->get_point_count(queue); p < points;
                 ++p) {
                int32_t frame = 0;
                double value = -1.0;
                check(v3_cpp_obj(queue)->get_point(queue, p, &frame, &value) == V3_OK);
                check(value >= 0.0 && value <= 1.0);
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int32_t frames = int32_t(take<uint16_t>(data, size)) % 20000;
    // At most 32 pieces: more only repeat the same reading and slow the search down.
    const int32_t length =
        std::max(1 + int32_t(take<uint16_t>(data, size)) % 8192, 1 + frames / 32);
    const size_t events = take<uint8_t>(data, size);
    Vst3HostEvents host;
    for (size_t i = 0; i < events && size > 0; ++i) {
        v3_event event{};
        event.type = take<uint8_t>(data, size) % 4;
        event.sample_offset = take<int32_t>(data, size);
        // Every kind of event keeps its pitch and value at the same places.
        event.note_on.pitch = take<int16_t>(data, size);
        event.note_on.velocity = take<float>(data, size);
        if (event.type == V3_EVENT_POLY_PRESSURE) {
            event.poly_pressure.pitch = event.note_on.pitch;
            event.poly_pressure.pressure = take<float>(data, size);
        }
        host.events.push_back(event);
    }
    Vst3HostParameters parameters;
    while (size > 0) {
        const v3_param_id id = take<uint8_t>(data, size);
        const int32_t frame = take<int16_t>(data, size);
        parameters.add(id, frame, take<double>(data, size));
    }
    v3_process_data block{};
    block.nframes = frames;
    block.input_events = host.list();
    block.input_params = parameters.changes();
    if (frames <= 0)
        return 0;
    for (int32_t start = 0; start < frames; start += length)
        readPiece(block, start, length);
    return 0;
}
