#include "EventScript.h"

#include "Corvena_Core.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data(data), size(size) {}
    bool more() const { return at < size; }
    uint8_t byte() { return at < size ? data[at++] : 0; }
    uint32_t word() {
        uint32_t w = 0;
        for (int i = 0; i < 4; ++i)
            w = (w << 8) | byte();
        return w;
    }
    // Mostly the values hosts get wrong (non-finite, huge, just outside a range), else any.
    double value() {
        static const double specials[] = {std::numeric_limits<double>::quiet_NaN(),
                                          std::numeric_limits<double>::infinity(),
                                          -std::numeric_limits<double>::infinity(),
                                          1e300,
                                          -1e300,
                                          0.0,
                                          1.0,
                                          -1.0,
                                          0.5,
                                          2.0,
                                          127.0,
                                          128.0,
                                          1e9,
                                          -1e9,
                                          2147483648.0,
                                          4.9e-324};
        const uint8_t kind = byte();
        if (kind < 2 * std::size(specials))
            return specials[kind % std::size(specials)];
        if (kind < 96)
            return double(word()) / 4294967295.0; // a knob position
        if (kind < 160)
            return double(int32_t(word()) % 256); // note numbers and velocities
        uint64_t bits = (uint64_t(word()) << 32) | word();
        double any;
        std::memcpy(&any, &bits, sizeof any);
        return any;
    }

private:
    const uint8_t* data;
    size_t size;
    size_t at = 0;
};

AudioTimeStamp stampFrom(Reader& in, double present) {
    AudioTimeStamp stamp;
    std::memset(&stamp, 0, sizeof stamp);
    const uint8_t kind = in.byte();
    stamp.mSampleTime = kind < 128 ? present + double(kind) * 37.0 : in.value();
    stamp.mHostTime = uint64_t(in.word()) * 1000;
    return stamp;
}

} // namespace

EventScriptResult playEventScript(const uint8_t* data, size_t size,
                                  const std::string& resourceDirectory) {
    EventScriptResult result;
    DspObject dsp = CreateDspObject();
    std::vector<char> path(resourceDirectory.begin(), resourceDirectory.end());
    path.push_back('\0');
    DspSetBundleDirectoryPath(dsp, path.data());
    DspInitialize(dsp);

    uint64_t position = 0;
    std::vector<float> block(2 * 1024);
    auto render = [&](uint32_t frames) {
        AudioTimeStamp stamp;
        std::memset(&stamp, 0, sizeof stamp);
        stamp.mSampleTime = double(position);
        stamp.mHostTime = 1000000000ull + position * 22676;
        AudioBufferList list;
        list.mNumberBuffers = 1;
        list.mBuffers[0].mNumberChannels = 2;
        list.mBuffers[0].mDataByteSize = frames * 8;
        list.mBuffers[0].mData = block.data();
        uint32_t flags = 0;
        AudioUnitAudioOutputProc(dsp, &flags, &stamp, 0, frames, &list);
        for (uint32_t i = 0; i < 2 * frames; ++i) {
            const float v = block[i];
            if (!std::isfinite(v)) {
                if (result.allFinite)
                    result.firstProblem =
                        "non-finite sample at frame " + std::to_string(position + i / 2);
                result.allFinite = false;
            } else {
                result.peak = std::max(result.peak, std::fabs(v));
            }
        }
        position += frames;
        result.framesRendered += frames;
    };

    Reader in(data, size);
    while (in.more()) {
        const uint8_t op = in.byte();
        // Weighted towards what sounds, so that bad values meet playing voices.
        const uint8_t kind = in.byte();
        const EventSubType subType = kind < 96    ? EventSubTypeNoteOn
                                     : kind < 144 ? EventSubTypeNoteOff
                                     : kind < 224 ? EventSubTypeParameter
                                                  : EventSubType(kind % 9);
        const ParameterType type = ParameterType(int8_t(in.byte())) % 26;
        switch (op % 6) {
        case 0:
        case 1: {
            const AudioTimeStamp stamp = stampFrom(in, double(position));
            const double v1 = in.value(), v2 = in.value(), v3 = in.value();
            DspSetEventWithTimeStamp(dsp, stamp, subType, type, v1, v2, v3);
            ++result.eventsPosted;
            break;
        }
        case 2: {
            const double v1 = in.value(), v2 = in.value(), v3 = in.value();
            DspSetEventToSubBuffer(dsp, subType, type, v1, v2, v3);
            ++result.eventsPosted;
            break;
        }
        case 3: {
            const EventType eventType = in.byte() % 7;
            const double v1 = in.value(), v2 = in.value(), v3 = in.value();
            const int id = int(in.byte() % 8);
            const int tick = int(int16_t(in.word()));
            DspSetSequencerEvent(dsp, eventType, subType, type, v1, v2, v3, id, tick);
            ++result.eventsPosted;
            break;
        }
        default:
            render(1 + (uint32_t(in.byte()) << 2 | (in.byte() & 3)) % 1024);
            break;
        }
    }
    // Whatever the script left behind rings out: the delay's echoes included.
    for (int i = 0; i < 16; ++i)
        render(1024);
    ReleaseDspObject(dsp);
    return result;
}
