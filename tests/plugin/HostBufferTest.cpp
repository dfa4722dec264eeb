// The plugin reads the MIDI a host sent and nothing else, whatever the host leaves around it:
// bytes after the sequence from earlier, longer blocks; a last event whose padding atom.size
// leaves out; a sequence that ends where the host's memory ends; a header whose unit and pad
// were never set; ports connected to other memory every block, output memory full of junk.
#include "LilvTestHost.h"
#include "SignalAnalysis.h"

#include <gtest/gtest.h>
#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string bundleUnderTest() {
    const char* installed = std::getenv("CORVENA_LV2_BUNDLE");
    return installed != nullptr && installed[0] != '\0' ? installed : CORVENA_TEST_LV2_BUNDLE;
}

// Writes a sequence of three-byte MIDI messages at frame 0 into `memory` and returns its
// atom.size with the last event's padding left out, as LV2 allows.
uint32_t writeUnpadded(void* memory, LilvTestHost& host,
                       const std::vector<std::vector<uint8_t>>& messages) {
    auto* seq = static_cast<LV2_Atom_Sequence*>(memory);
    seq->atom.type = host.map(LV2_ATOM__Sequence);
    seq->body.unit = 0;
    seq->body.pad = 0;
    auto* cursor = reinterpret_cast<uint8_t*>(seq + 1);
    uint32_t size = sizeof(LV2_Atom_Sequence_Body);
    for (const auto& message : messages) {
        auto* event = reinterpret_cast<LV2_Atom_Event*>(cursor);
        event->time.frames = 0;
        event->body.size = uint32_t(message.size());
        event->body.type = host.map(LV2_MIDI__MidiEvent);
        std::memcpy(event + 1, message.data(), message.size());
        size = uint32_t(cursor - reinterpret_cast<uint8_t*>(&seq->body)) + sizeof(LV2_Atom_Event) +
               uint32_t(message.size());
        cursor += sizeof(LV2_Atom_Event) + lv2_atom_pad_size(uint32_t(message.size()));
    }
    seq->atom.size = size;
    return size;
}

class HostBufferTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(host.plugin(), nullptr)
            << "no " << LilvTestHost::pluginUri << " in " << host.bundle();
    }

    LilvTestHost host{bundleUnderTest()};
};

} // namespace

// A host reuses its sequence buffer every cycle: an earlier block's note 64 still stands
// behind this block's note 60, whose padding atom.size leaves out. Only note 60 sounds.
TEST_F(HostBufferTest, BytesAfterTheSequenceFromAnEarlierBlockAreNeverPlayed) {
    auto reused = host.instantiate(44100.0);
    auto plain = host.instantiate(44100.0);
    ASSERT_TRUE(reused && plain);
    std::vector<uint64_t> memory(64, 0);
    writeUnpadded(memory.data(), host, {{0x90, 60, 100}, {0x90, 64, 100}});
    const uint32_t size = writeUnpadded(memory.data(), host, {{0x90, 60, 100}});
    ASSERT_EQ(size, sizeof(LV2_Atom_Sequence_Body) + sizeof(LV2_Atom_Event) + 3);
    reused->runWithSequence(256, memory.data());
    reused->runBlocks(16384, 256);

    plain->queueMidi(0, {0x90, 60, 100});
    plain->run(256);
    plain->runBlocks(16384, 256);
    EXPECT_EQ(reused->left, plain->left) << "a note nobody sent in this block sounds";
    EXPECT_NEAR(analysis::frequencyByZeroCrossings(reused->left, 4096, reused->left.size()), 261.63,
                0.05);
}

// The same sequence placed so that the first byte past its padding is an unreadable page: the
// walk must end at atom.size and never touch it.
TEST_F(HostBufferTest, ASequenceThatEndsBeforeAnUnreadablePageIsNotReadPastIt) {
    auto instance = host.instantiate(44100.0);
    ASSERT_TRUE(instance);
    const auto page = size_t(sysconf(_SC_PAGESIZE));
    void* pages =
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(mprotect(static_cast<uint8_t*>(pages) + page, page, PROT_NONE), 0);
    // 8 bytes of atom header, 8 of sequence body, 16 of event header and 3 of MIDI: 35 bytes,
    // 40 with the last padding, which ends exactly at the unreadable page.
    void* sequence = static_cast<uint8_t*>(pages) + page - 40;
    writeUnpadded(sequence, host, {{0x90, 60, 100}});
    instance->runWithSequence(256, sequence);
    instance->runBlocks(8192, 256);
    munmap(pages, 2 * page);
    EXPECT_GT(analysis::peak(instance->left, 0, instance->left.size()), 0.01);
}

// What a DAW does: unit and pad never set, unpadded last events, block sizes that change from
// run to run, every port connected to other memory each run and that memory full of junk. The
// sound is the one a plain host gets, sample for sample.
TEST_F(HostBufferTest, HostHabitsLeaveTheSoundAsAPlainHostGetsIt) {
    for (const double rate : {44100.0, 48000.0}) {
        auto daw = host.instantiate(rate);
        auto plain = host.instantiate(rate);
        ASSERT_TRUE(daw && plain);
        daw->sequenceUnit = 0xdeadbeef;
        daw->sequencePad = 0x7fc00000;
        daw->unpaddedLastEvent = true;
        daw->swapBuffers = true;
        const std::vector<uint32_t> blocks = {2048, 17, 1024, 4096, 333, 2048};
        const std::vector<uint32_t> notes = {60, 64, 67, 72, 48, 55};
        size_t done = 0;
        for (size_t b = 0; b < blocks.size() * 4; ++b) {
            const uint32_t n = blocks[b % blocks.size()];
            const uint8_t note = uint8_t(notes[b % notes.size()]);
            for (auto* instance : {daw.get(), plain.get()}) {
                instance->queueMidi(5, {0x90, note, 100});
                instance->queueMidi(n / 2, {0x80, note, 0});
                instance->run(n);
            }
            done += n;
        }
        ASSERT_EQ(daw->left.size(), done);
        EXPECT_EQ(daw->left, plain->left) << rate << " Hz";
        EXPECT_EQ(daw->right, plain->right) << rate << " Hz";
        EXPECT_GT(analysis::peak(daw->right, 0, done), 0.01);
    }
}
