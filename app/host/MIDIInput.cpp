#include "MIDIInput.h"

#include "DspPointer.h"
#include "HostClock.h"
#include "MIDIObject.h"

#include <atomic>
#include <cstdio>

const midiMessageTypeInfo x80{"NoteOff", 3};
const midiMessageTypeInfo x90{"NoteOn", 3};
const midiMessageTypeInfo xB0{"ControlChange", 3};
const midiMessageTypeInfo xE0{"PitchBend", 3};
const midiMessageTypeInfo x00{"Unknown", 0};

namespace {

std::atomic<MIDIStampClock> stampClock{nullptr};

constexpr std::uint64_t oldestStampNanoseconds = 1000000000ull;

// The packet's arrival on the output's sample clock, when it can be placed there.
bool stampOf(const MIDIPacketView& packet, AudioTimeStamp* stamp) {
    const MIDIStampClock clock = stampClock.load(std::memory_order_acquire);
    if (clock == nullptr || packet.timeStamp == 0)
        return false;
    const std::uint64_t now = HostClock::nowNanoseconds();
    if (packet.timeStamp > now || now - packet.timeStamp > oldestStampNanoseconds)
        return false;
    double sampleTime = 0.0;
    if (!clock(packet.timeStamp, &sampleTime))
        return false;
    *stamp = AudioTimeStamp{};
    stamp->mSampleTime = sampleTime;
    stamp->mHostTime = packet.timeStamp;
    return true;
}

void post(DspObject dsp, const AudioTimeStamp* stamp, EventSubType subType,
          ParameterType parameterType, double value1, double value2) {
    if (stamp != nullptr)
        DspSetEventWithTimeStamp(dsp, *stamp, subType, parameterType, value1, value2, 0.0);
    else
        DspSetEvent(dsp, subType, parameterType, value1, value2, 0.0);
}

// A status byte of a known kind followed by something other than data bytes is not that
// message: reading it would post an out-of-range note or velocity. It counts as "Unknown", so
// the parser moves on one byte and reads the next status byte where it stands.
bool dataBytesFollow(const std::uint8_t* data, int at, int length) {
    for (int k = 1; k < length; ++k)
        if (data[at + k] & 0x80)
            return false;
    return true;
}

int parsePacket(const MIDIPacketView& packet, DspObject dsp) {
    const std::uint8_t* data = packet.data;
    const int length = packet.length;
    AudioTimeStamp arrival;
    const AudioTimeStamp* stamp = stampOf(packet, &arrival) ? &arrival : nullptr;
    int posted = 0;
    int i = 0;
    while (i < length) {
        const midiMessageTypeInfo& kind = midiMessageTypeInfoFor(data[i]);
        if (kind.messageLength == 0) {
            ++i; // "Unknown" takes no length of its own; one byte on finishes every packet
            continue;
        }
        if (i + kind.messageLength > length)
            break; // cut short by the end of the packet: dropped
        if (!dataBytesFollow(data, i, kind.messageLength)) {
            ++i;
            continue;
        }
        const double n = data[i + 1];
        const std::uint8_t v = data[i + 2];
        if (&kind == &x90) {
            if (v != 0)
                post(dsp, stamp, EventSubTypeNoteOn, ParameterTypeNone, n, v);
            else
                post(dsp, stamp, EventSubTypeNoteOff, ParameterTypeNone, n, 0.0);
            ++posted;
        } else if (&kind == &x80) {
            post(dsp, stamp, EventSubTypeNoteOff, ParameterTypeNone, n, 0.0);
            ++posted;
        } else if (&kind == &xE0) {
            post(dsp, stamp, EventSubTypeParameter, ParameterTypePitchBend,
                 pitchBendNormalizedValue(data[i + 1], v), 0.0);
            ++posted;
        }
        i += kind.messageLength;
    }
    return posted;
}

} // namespace

void MIDIInputSetStampClock(MIDIStampClock clock) {
    stampClock.store(clock, std::memory_order_release);
}

const midiMessageTypeInfo& midiMessageTypeInfoFor(std::uint8_t statusByte) {
    switch (statusByte >> 4) {
    case 0x8:
        return x80;
    case 0x9:
        return x90;
    case 0xB:
        return xB0;
    case 0xE:
        return xE0;
    default:
        return x00;
    }
}

int MIDIParsePacketList(const MIDIPacketList& list, DspObject dsp) {
    if (!MIDIPacketListIsWellFormed(list))
        return -1;
    MIDIPacketListReader reader(list);
    MIDIPacketView packet;
    int posted = 0;
    while (reader.next(&packet))
        posted += parsePacket(packet, dsp);
    return posted;
}

void MIDIInputProc(const MIDIPacketList* pktlist, void*, void*) {
    if (pktlist == nullptr)
        return;
    if (!MIDIPacketListIsWellFormed(*pktlist)) {
        // Only a broken backend delivers such a list; say so once rather than on every list.
        static std::atomic_flag reported = ATOMIC_FLAG_INIT;
        if (!reported.test_and_set())
            std::fputs("Corvena: dropped a MIDI packet list whose packets run past its end.\n",
                       stderr);
        return;
    }
    if (midiObject.currentOutputPortInfoIndex.load(std::memory_order_acquire) >= 0)
        MIDISend(midiObject.outputPortRef.load(std::memory_order_relaxed),
                 midiObject.outputEndpointRef.load(std::memory_order_relaxed), pktlist);
    MIDIParsePacketList(*pktlist, dspPointer);
}

void MIDINotifyProc(const MIDINotification* message, void*) {
    if (message != nullptr && message->messageID == kMIDIMsgSetupChanged)
        midiObject.inputUpdate();
}
