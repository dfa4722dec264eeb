// The CLAP event list on its way to DPF's wrapper, which indexes its arrays by a parameter
// event's id and reads a note event as a note whatever its size: lists as hosts write them and
// as a broken host might, each checked on the list handed on.
#include "ClapEventFilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

union Storage {
    clap_event_header_t header;
    clap_event_note_t note;
    clap_event_midi_t midi;
    clap_event_param_value_t param;
};

class HostList {
public:
    HostList& note(uint32_t time, int16_t key, double velocity = 0.8, int16_t port = 0) {
        Storage& s = add(time, CLAP_EVENT_NOTE_ON, sizeof(clap_event_note_t));
        s.note.key = key;
        s.note.velocity = velocity;
        s.note.port_index = port;
        return *this;
    }
    HostList& midi(uint32_t time, uint8_t status) {
        Storage& s = add(time, CLAP_EVENT_MIDI, sizeof(clap_event_midi_t));
        s.midi.data[0] = status;
        return *this;
    }
    HostList& param(uint32_t time, clap_id id, double value) {
        Storage& s = add(time, CLAP_EVENT_PARAM_VALUE, sizeof(clap_event_param_value_t));
        s.param.param_id = id;
        s.param.value = value;
        return *this;
    }
    HostList& other(uint32_t time, uint16_t type, uint32_t size, uint16_t space = 0) {
        Storage& s = add(time, type, size);
        s.header.space_id = space;
        return *this;
    }
    const clap_input_events_t* list() { return &events; }

private:
    Storage& add(uint32_t time, uint16_t type, uint32_t size) {
        storage.emplace_back();
        std::memset(&storage.back(), 0, sizeof(Storage));
        storage.back().header = {size, time, CLAP_CORE_EVENT_SPACE_ID, type, 0};
        return storage.back();
    }
    static uint32_t count(const clap_input_events_t* list) {
        return uint32_t(static_cast<HostList*>(list->ctx)->storage.size());
    }
    static const clap_event_header_t* get(const clap_input_events_t* list, uint32_t i) {
        auto& all = static_cast<HostList*>(list->ctx)->storage;
        return i < all.size() ? &all[i].header : nullptr;
    }
    std::vector<Storage> storage;
    clap_input_events_t events{this, count, get};
};

struct Seen {
    uint16_t type;
    uint32_t time;
};

std::vector<Seen> seen(const clap_input_events_t* list) {
    std::vector<Seen> out;
    for (uint32_t i = 0; i < list->size(list); ++i)
        out.push_back({list->get(list, i)->type, list->get(list, i)->time});
    EXPECT_EQ(list->get(list, list->size(list)), nullptr);
    return out;
}

TEST(ClapEventFilter, NotesMidiAndKnownParametersPassInTimeOrder) {
    ClapEventFilter filter(20);
    HostList host;
    host.note(5, 60).midi(9, 0xB0).param(9, 19, 0.5).note(3, 64); // the last one earlier
    const auto events = seen(filter.filter(host.list(), 64));
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].type, CLAP_EVENT_NOTE_ON);
    EXPECT_EQ(events[2].type, CLAP_EVENT_PARAM_VALUE);
    EXPECT_EQ(events[3].time, 9u) << "held to the event before it";
}

TEST(ClapEventFilter, UnknownParametersNonFiniteValuesAndOtherPortsAreDropped) {
    ClapEventFilter filter(20);
    HostList host;
    host.param(0, 20, 1.0)
        .param(0, 0xFFFFFFFF, 1.0)
        .param(0, 3, NAN)
        .param(0, 3, INFINITY)
        .note(0, 60, NAN)
        .note(0, 60, 0.8, 1)
        .param(0, 3, 1e9); // out of range but finite: the plugin clamps it
    const auto events = seen(filter.filter(host.list(), 64));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, CLAP_EVENT_PARAM_VALUE);
}

TEST(ClapEventFilter, VelocitiesOutsideTheUnitRangeAreClamped) {
    ClapEventFilter filter(20);
    HostList host;
    host.note(0, 60, -1.3e9).note(1, 61, 1.3e9).note(2, 62, 0.25);
    const clap_input_events_t* list = filter.filter(host.list(), 64);
    ASSERT_EQ(list->size(list), 3u);
    std::vector<double> velocities;
    for (uint32_t i = 0; i < 3; ++i)
        velocities.push_back(
            reinterpret_cast<const clap_event_note_t*>(list->get(list, i))->velocity);
    EXPECT_EQ(velocities, (std::vector<double>{0.0, 1.0, 0.25}));
}

TEST(ClapEventFilter, EventsOfTheWrongSizeOrSpaceAndOtherTypesAreDropped) {
    ClapEventFilter filter(20);
    HostList host;
    host.other(0, CLAP_EVENT_NOTE_ON, sizeof(clap_event_header_t))
        .other(0, CLAP_EVENT_PARAM_VALUE, sizeof(clap_event_note_t))
        .other(0, CLAP_EVENT_MIDI, sizeof(clap_event_midi_t), 7)
        .other(0, CLAP_EVENT_TRANSPORT, sizeof(clap_event_header_t))
        .midi(1, 0x90);
    const auto events = seen(filter.filter(host.list(), 64));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, CLAP_EVENT_MIDI);
}

TEST(ClapEventFilter, NotesPastTheBlockAreDroppedAndParametersTakenAtItsLastFrame) {
    ClapEventFilter filter(20);
    HostList host;
    host.note(64, 60).param(500, 2, 1.0).midi(63, 0x90);
    const auto events = seen(filter.filter(host.list(), 64));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, CLAP_EVENT_PARAM_VALUE);
    EXPECT_EQ(events[0].time, 63u);
    EXPECT_EQ(events[1].time, 63u);
    // A flush: no frames, parameters only.
    const auto flushed = seen(filter.filter(host.list(), 0));
    ASSERT_EQ(flushed.size(), 1u);
    EXPECT_EQ(flushed[0].time, 0u);
}

TEST(ClapEventFilter, NoListOrMoreEventsThanItHoldsAreSafe) {
    ClapEventFilter filter(20);
    EXPECT_TRUE(seen(filter.filter(nullptr, 64)).empty());
    HostList host;
    for (uint32_t i = 0; i < ClapEventFilter::capacity + 50; ++i)
        host.midi(0, 0x90);
    EXPECT_EQ(seen(filter.filter(host.list(), 64)).size(), ClapEventFilter::capacity);
}

} // namespace
