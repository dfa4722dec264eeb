// libFuzzer target for the MIDI file reader: each input is read as a whole file image, and a song
// that is accepted has every message's time mapped through the tempo map. Built with
// AddressSanitizer and UndefinedBehaviorSanitizer, so a read outside the image or an overflow in
// the time arithmetic stops the run.
#include "MidiFileReader.h"
#include "TempoMap.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MidiSong song;
    std::string error;
    if (!MidiFileReader::read(data, size, song, error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    const TempoMap tempo(song.division, song.tempoChanges);
    uint64_t previous = 0;
    for (const MidiFileMessage& message : song.messages) {
        const uint64_t sample = tempo.sampleAt(message.tick);
        if (sample < previous || message.tick > song.lengthTicks)
            std::abort();
        previous = sample;
    }
    return 0;
}
