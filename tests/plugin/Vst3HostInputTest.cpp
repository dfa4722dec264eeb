// A VST3 host's events and parameter changes on their way to DPF's processor, which turns
// velocities and normalised values into integers unchecked and misplaces an event that belongs
// between two others: lists as hosts write them and as a broken host might, each read back as
// DPF reads them (the count, then the events in turn; a queue at a time).
#include "Vst3HostInput.h"
#include "Vst3HostLists.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();

v3_event note(bool on, int32_t frame, int16_t pitch, float velocity) {
    v3_event event{};
    event.type = on ? V3_EVENT_NOTE_ON : V3_EVENT_NOTE_OFF;
    event.sample_offset = frame;
    if (on) {
        event.note_on.pitch = pitch;
        event.note_on.velocity = velocity;
    } else {
        event.note_off.pitch = pitch;
        event.note_off.velocity = velocity;
    }
    return event;
}

struct Seen {
    int32_t frame;
    int16_t pitch;
    float velocity;
};

// The events of frames [start, start + length) of a block of `frames`, as DPF reads them.
std::vector<Seen> read(Vst3HostEvents& host, int32_t frames, int32_t start, int32_t length) {
    v3_process_data data{};
    data.nframes = frames;
    data.input_events = host.list();
    Vst3HostInput input(data, start, length, false);
    v3_event_list** list = input.events();
    std::vector<Seen> seen;
    const uint32_t count = v3_cpp_obj(list)->get_event_count(list);
    for (uint32_t i = 0; i < count; ++i) {
        v3_event event{};
        EXPECT_EQ(v3_cpp_obj(list)->get_event(list, int32_t(i), &event), V3_OK) << i;
        const bool on = event.type == V3_EVENT_NOTE_ON;
        seen.push_back({event.sample_offset, on ? event.note_on.pitch : event.note_off.pitch,
                        on ? event.note_on.velocity : event.note_off.velocity});
    }
    v3_event past{};
    EXPECT_NE(v3_cpp_obj(list)->get_event(list, int32_t(count), &past), V3_OK);
    return seen;
}

TEST(Vst3HostInput, NotesOutsideMidiOrWithNoNumberAreLeftOutAndNoteOffsKept) {
    Vst3HostEvents host;
    host.events = {note(true, 0, -1, 0.5f), note(true, 1, 128, 0.5f), note(true, 2, 60, nan),
                   note(true, 3, 61, inf),  note(true, 4, 62, -2.0f), note(true, 5, 63, 0.25f),
                   note(false, 6, 63, nan), note(false, 7, 300, 0.0f)};
    v3_event pressure{};
    pressure.type = V3_EVENT_POLY_PRESSURE;
    pressure.sample_offset = 8;
    pressure.poly_pressure.pitch = 63;
    pressure.poly_pressure.pressure = nan;
    host.events.push_back(pressure);
    const std::vector<Seen> seen = read(host, 64, 0, 64);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].pitch, 61); // an infinite velocity is the loudest
    EXPECT_EQ(seen[0].velocity, 1.0f);
    EXPECT_EQ(seen[1].pitch, 62);
    EXPECT_EQ(seen[1].velocity, 0.0f);
    EXPECT_EQ(seen[2].velocity, 0.25f);
    EXPECT_EQ(seen[3].frame, 6); // the note off of 63 still ends it
    EXPECT_EQ(seen[3].velocity, 0.0f);
}

TEST(Vst3HostInput, EventsComeInFrameOrderThoseOfOneFrameInTheHostsOrder) {
    Vst3HostEvents host;
    host.events = {note(true, 200, 60, 0.5f), note(true, 10, 61, 0.5f),
                   note(true, 100, 62, 0.5f), note(true, 10, 63, 0.5f),
                   note(true, 150, 64, 0.5f), note(false, 100, 61, 0.5f)};
    std::vector<int16_t> pitches;
    std::vector<int32_t> frames;
    for (const Seen& s : read(host, 256, 0, 256)) {
        pitches.push_back(s.pitch);
        frames.push_back(s.frame);
    }
    EXPECT_EQ(pitches, (std::vector<int16_t>{61, 63, 62, 61, 64, 60}));
    EXPECT_EQ(frames, (std::vector<int32_t>{10, 10, 100, 100, 150, 200}));

    // Read again from the start, as a second pass over the list would.
    EXPECT_EQ(read(host, 256, 0, 256).size(), 6u);
}

TEST(Vst3HostInput, APieceOfALongBlockSeesItsOwnEventsMovedToItsStart) {
    Vst3HostEvents host;
    host.events = {note(true, -5, 60, 0.5f),   note(true, 100, 61, 0.5f),
                   note(true, 8191, 62, 0.5f), note(true, 8192, 63, 0.5f),
                   note(true, 9000, 64, 0.5f), note(true, 20000, 65, 0.5f)};
    const std::vector<Seen> first = read(host, 10000, 0, 8192);
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[0].frame, -5); // before the block: still before the piece, passed over
    EXPECT_EQ(first[2].frame, 8191);
    const std::vector<Seen> second = read(host, 10000, 8192, 8192);
    ASSERT_EQ(second.size(), 3u);
    EXPECT_EQ(second[0].frame, 0);
    EXPECT_EQ(second[1].frame, 9000 - 8192);
    EXPECT_EQ(second[2].frame, 20000 - 8192); // past the block: past the piece too
}

TEST(Vst3HostInput, ParameterPointsThatAreNoNumberAreLeftOutAndOthersClamped) {
    Vst3HostParameters host;
    for (double value : {double(nan), -0.5, 0.25, double(inf), 3.0})
        host.add(7, 0, value);
    host.add(9, 16, double(nan));
    v3_process_data data{};
    data.nframes = 64;
    data.input_params = host.changes();
    Vst3HostInput input(data, 0, 64, true);
    v3_param_changes** changes = input.parameters();
    ASSERT_NE(changes, nullptr);
    ASSERT_EQ(v3_cpp_obj(changes)->get_param_count(changes), 2);
    v3_param_value_queue** queue = v3_cpp_obj(changes)->get_param_data(changes, 0);
    EXPECT_EQ(v3_cpp_obj(queue)->get_param_id(queue), 7u);
    ASSERT_EQ(v3_cpp_obj(queue)->get_point_count(queue), 4);
    std::vector<double> values;
    for (int32_t i = 0; i < 4; ++i) {
        int32_t frame = -1;
        double value = -1.0;
        ASSERT_EQ(v3_cpp_obj(queue)->get_point(queue, i, &frame, &value), V3_OK);
        values.push_back(value);
    }
    EXPECT_EQ(values, (std::vector<double>{0.0, 0.25, 1.0, 1.0}));
    queue = v3_cpp_obj(changes)->get_param_data(changes, 1);
    EXPECT_EQ(v3_cpp_obj(queue)->get_point_count(queue), 0);

    Vst3HostInput later(data, 0, 64, false);
    EXPECT_EQ(later.parameters(), nullptr) << "a later piece leaves the changes to the first";
}

} // namespace
