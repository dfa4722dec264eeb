#include "AlsaEventBytes.h"

#include <cstring>

namespace {

std::uint8_t channelOf(const snd_seq_event_t& event) {
    return event.data.note.channel & 0x0F;
}

std::size_t put(std::uint8_t* out, std::size_t capacity, std::uint8_t b0, int b1 = -1,
                int b2 = -1) {
    const std::size_t n = b1 < 0 ? 1 : (b2 < 0 ? 2 : 3);
    if (capacity < n)
        return 0;
    out[0] = b0;
    if (n > 1)
        out[1] = static_cast<std::uint8_t>(b1 & 0x7F);
    if (n > 2)
        out[2] = static_cast<std::uint8_t>(b2 & 0x7F);
    return n;
}

// Data bytes a channel or system-common status takes; -1 for SysEx and real-time handling.
int dataBytesFor(std::uint8_t status) {
    switch (status & 0xF0) {
    case 0x80:
    case 0x90:
    case 0xA0:
    case 0xB0:
    case 0xE0:
        return 2;
    case 0xC0:
    case 0xD0:
        return 1;
    default:
        break;
    }
    switch (status) {
    case 0xF1:
    case 0xF3:
        return 1;
    case 0xF2:
        return 2;
    default:
        return 0;
    }
}

} // namespace

std::size_t alsaEventToMidiBytes(const snd_seq_event_t& event, std::uint8_t* out,
                                 std::size_t capacity) {
    const snd_seq_ev_note_t& note = event.data.note;
    const snd_seq_ev_ctrl_t& control = event.data.control;
    const std::uint8_t channel = channelOf(event);
    switch (event.type) {
    case SND_SEQ_EVENT_NOTEON:
        return put(out, capacity, 0x90 | channel, note.note, note.velocity);
    case SND_SEQ_EVENT_NOTEOFF:
        return put(out, capacity, 0x80 | channel, note.note, note.velocity);
    case SND_SEQ_EVENT_KEYPRESS:
        return put(out, capacity, 0xA0 | channel, note.note, note.velocity);
    case SND_SEQ_EVENT_CONTROLLER:
        return put(out, capacity, 0xB0 | (control.channel & 0x0F), static_cast<int>(control.param),
                   control.value);
    case SND_SEQ_EVENT_PGMCHANGE:
        return put(out, capacity, 0xC0 | (control.channel & 0x0F), control.value);
    case SND_SEQ_EVENT_CHANPRESS:
        return put(out, capacity, 0xD0 | (control.channel & 0x0F), control.value);
    case SND_SEQ_EVENT_PITCHBEND: {
        // The sequencer centres the bend on 0 (-8192..8191); the wire centres it on 0x2000.
        const int bend = control.value + 8192;
        if (bend < 0 || bend > 16383)
            return 0;
        return put(out, capacity, 0xE0 | (control.channel & 0x0F), bend & 0x7F, bend >> 7);
    }
    case SND_SEQ_EVENT_SONGPOS:
        return put(out, capacity, 0xF2, control.value & 0x7F, (control.value >> 7) & 0x7F);
    case SND_SEQ_EVENT_SONGSEL:
        return put(out, capacity, 0xF3, control.value);
    case SND_SEQ_EVENT_QFRAME:
        return put(out, capacity, 0xF1, control.value);
    case SND_SEQ_EVENT_TUNE_REQUEST:
        return put(out, capacity, 0xF6);
    case SND_SEQ_EVENT_CLOCK:
        return put(out, capacity, 0xF8);
    case SND_SEQ_EVENT_START:
        return put(out, capacity, 0xFA);
    case SND_SEQ_EVENT_CONTINUE:
        return put(out, capacity, 0xFB);
    case SND_SEQ_EVENT_STOP:
        return put(out, capacity, 0xFC);
    case SND_SEQ_EVENT_SENSING:
        return put(out, capacity, 0xFE);
    case SND_SEQ_EVENT_RESET:
        return put(out, capacity, 0xFF);
    case SND_SEQ_EVENT_SYSEX: {
        const std::size_t n = event.data.ext.len;
        if (n == 0 || n > capacity || event.data.ext.ptr == nullptr)
            return 0;
        std::memcpy(out, event.data.ext.ptr, n);
        return n;
    }
    default:
        return 0;
    }
}

std::size_t midiBytesToAlsaEvent(const std::uint8_t* data, std::size_t n, snd_seq_event_t* event) {
    event->type = SND_SEQ_EVENT_NONE;
    if (n == 0)
        return 0;
    const std::uint8_t status = data[0];
    if (status < 0x80)
        return 1; // a stray data byte: no running status here
    if (status == 0xF0) {
        std::size_t length = 1;
        while (length < n && data[length] != 0xF7)
            ++length;
        if (length == n)
            return n; // SysEx without its end byte: not sent
        snd_seq_ev_set_sysex(event, static_cast<unsigned>(length + 1),
                             const_cast<std::uint8_t*>(data));
        return length + 1;
    }
    const int needed = dataBytesFor(status);
    if (static_cast<std::size_t>(needed) + 1 > n)
        return n;
    for (int i = 1; i <= needed; ++i)
        if (data[i] >= 0x80)
            return static_cast<std::size_t>(i); // cut short by the next status byte
    const std::uint8_t channel = status & 0x0F;
    const std::uint8_t d1 = needed > 0 ? data[1] : 0;
    const std::uint8_t d2 = needed > 1 ? data[2] : 0;
    switch (status & 0xF0) {
    case 0x80:
        snd_seq_ev_set_noteoff(event, channel, d1, d2);
        break;
    case 0x90:
        snd_seq_ev_set_noteon(event, channel, d1, d2);
        break;
    case 0xA0:
        snd_seq_ev_set_keypress(event, channel, d1, d2);
        break;
    case 0xB0:
        snd_seq_ev_set_controller(event, channel, d1, d2);
        break;
    case 0xC0:
        snd_seq_ev_set_pgmchange(event, channel, d1);
        break;
    case 0xD0:
        snd_seq_ev_set_chanpress(event, channel, d1);
        break;
    case 0xE0:
        snd_seq_ev_set_pitchbend(event, channel, (d2 << 7 | d1) - 8192);
        break;
    default:
        switch (status) {
        case 0xF1:
            event->type = SND_SEQ_EVENT_QFRAME;
            event->data.control.value = d1;
            break;
        case 0xF2:
            event->type = SND_SEQ_EVENT_SONGPOS;
            event->data.control.value = d2 << 7 | d1;
            break;
        case 0xF3:
            event->type = SND_SEQ_EVENT_SONGSEL;
            event->data.control.value = d1;
            break;
        case 0xF6:
            event->type = SND_SEQ_EVENT_TUNE_REQUEST;
            break;
        case 0xF8:
            event->type = SND_SEQ_EVENT_CLOCK;
            break;
        case 0xFA:
            event->type = SND_SEQ_EVENT_START;
            break;
        case 0xFB:
            event->type = SND_SEQ_EVENT_CONTINUE;
            break;
        case 0xFC:
            event->type = SND_SEQ_EVENT_STOP;
            break;
        case 0xFE:
            event->type = SND_SEQ_EVENT_SENSING;
            break;
        case 0xFF:
            event->type = SND_SEQ_EVENT_RESET;
            break;
        default:
            break;
        }
        if (event->type != SND_SEQ_EVENT_NONE)
            event->flags = (event->flags & ~SND_SEQ_EVENT_LENGTH_MASK) | SND_SEQ_EVENT_LENGTH_FIXED;
        break;
    }
    return static_cast<std::size_t>(needed) + 1;
}

bool alsaEventIsSetupChange(const snd_seq_event_t& event) {
    switch (event.type) {
    case SND_SEQ_EVENT_CLIENT_START:
    case SND_SEQ_EVENT_CLIENT_EXIT:
    case SND_SEQ_EVENT_CLIENT_CHANGE:
    case SND_SEQ_EVENT_PORT_START:
    case SND_SEQ_EVENT_PORT_EXIT:
    case SND_SEQ_EVENT_PORT_CHANGE:
        return true;
    default:
        return false;
    }
}
