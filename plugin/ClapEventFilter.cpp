#include "ClapEventFilter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

ClapEventFilter::ClapEventFilter(uint32_t parameterCount)
    : parameterCount(parameterCount), events(capacity), list{this, size, get} {}

uint32_t ClapEventFilter::size(const clap_input_events_t* list) {
    return static_cast<const ClapEventFilter*>(list->ctx)->count;
}

const clap_event_header_t* ClapEventFilter::get(const clap_input_events_t* list, uint32_t index) {
    const auto* self = static_cast<const ClapEventFilter*>(list->ctx);
    return index < self->count ? &self->events[index].header : nullptr;
}

bool ClapEventFilter::accept(const clap_event_header_t* event) const {
    if (event->space_id != CLAP_CORE_EVENT_SPACE_ID)
        return false;
    switch (event->type) {
    case CLAP_EVENT_NOTE_ON:
    case CLAP_EVENT_NOTE_OFF: {
        if (event->size != sizeof(clap_event_note_t))
            return false;
        const auto* note = reinterpret_cast<const clap_event_note_t*>(event);
        return note->port_index == 0 && std::isfinite(note->velocity);
    }
    case CLAP_EVENT_MIDI:
        return event->size == sizeof(clap_event_midi_t) &&
               reinterpret_cast<const clap_event_midi_t*>(event)->port_index == 0;
    case CLAP_EVENT_PARAM_VALUE: {
        if (event->size != sizeof(clap_event_param_value_t))
            return false;
        const auto* param = reinterpret_cast<const clap_event_param_value_t*>(event);
        return param->param_id < parameterCount && std::isfinite(param->value);
    }
    default:
        return false;
    }
}

const clap_input_events_t* ClapEventFilter::filter(const clap_input_events_t* input,
                                                   uint32_t frames) {
    count = 0;
    if (input == nullptr || input->size == nullptr || input->get == nullptr)
        return &list;
    const uint32_t lastFrameOfBlock = frames > 0 ? frames - 1 : 0;
    uint32_t lastTime = 0;
    for (uint32_t i = 0, n = input->size(input); i < n && count < capacity; ++i) {
        const clap_event_header_t* event = input->get(input, i);
        if (event == nullptr)
            break;
        if (!accept(event))
            continue;
        const bool isParameter = event->type == CLAP_EVENT_PARAM_VALUE;
        uint32_t time = std::max(event->time, lastTime);
        if (time >= frames) {
            if (!isParameter)
                continue; // a note has no frame to sound on
            time = std::max(lastFrameOfBlock, lastTime);
        }
        lastTime = time;
        Event& copy = events[count++];
        std::memcpy(&copy, event, event->size);
        copy.header.time = time;
        // DPF scales a velocity to MIDI's range and converts it unchecked: one far out of
        // [0, 1] would overflow the integer.
        if (event->type == CLAP_EVENT_NOTE_ON || event->type == CLAP_EVENT_NOTE_OFF)
            copy.note.velocity = std::clamp(copy.note.velocity, 0.0, 1.0);
    }
    return &list;
}
