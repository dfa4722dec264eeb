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
#include <memory>
#include <string>
#include <vector>

namespace {

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

    LilvTestHost host{LilvTestHost::bundleUnderTest()};
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

namespace {

// One instance driven the way Ardour 7.3 drives an LV2 instrument, or plainly.
class ArdourLikeRun {
public:
    ArdourLikeRun(LilvTestHost& host, double rate, bool ardour) : host(host), ardour(ardour) {
        instance = lilv_plugin_instantiate(host.plugin(), rate, host.features(true));
        const uint32_t ports = lilv_plugin_get_num_ports(host.plugin());
        controls.assign(ports, 0.0f);
        lilv_plugin_get_port_ranges_float(host.plugin(), nullptr, nullptr, controls.data());
        for (uint32_t i = 0; i < ports; ++i) {
            const LilvPort* port = lilv_plugin_get_port_by_index(host.plugin(), i);
            const std::string symbol =
                lilv_node_as_string(lilv_port_get_symbol(host.plugin(), port));
            if (symbol == "midi_in")
                midiPort = i;
            else if (symbol == "out_left")
                leftPort = i;
            else if (symbol == "out_right")
                rightPort = i;
            else if (instance != nullptr)
                lilv_instance_connect_port(instance, i, &controls[i]);
        }
    }
    ~ArdourLikeRun() {
        if (instance != nullptr) {
            lilv_instance_deactivate(instance);
            lilv_instance_free(instance);
        }
    }
    ArdourLikeRun(const ArdourLikeRun&) = delete;
    ArdourLikeRun& operator=(const ArdourLikeRun&) = delete;

    bool ready() const { return instance != nullptr; }

    // Ardour runs a new instance once, silently, to read its latency (and again when a session
    // sets its state): both outputs on one buffer, a sequence header malloc left as it was,
    // then the buffer freed. A plain host's first runs are plain.
    void latencyRun(uint32_t block) {
        auto scratch = std::make_unique<float[]>(block);
        auto own = std::make_unique<float[]>(block);
        std::vector<uint64_t> events(64, 0xa5a5a5a5a5a5a5a5u);
        auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(events.data());
        seq->atom.type = host.map(LV2_ATOM__Sequence);
        seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
        if (!ardour)
            seq->body.unit = seq->body.pad = 0;
        // Ardour activates only an inactive instance and leaves it active afterwards.
        if (!active)
            lilv_instance_activate(instance);
        lilv_instance_connect_port(instance, midiPort, seq);
        lilv_instance_connect_port(instance, leftPort, scratch.get());
        lilv_instance_connect_port(instance, rightPort, ardour ? scratch.get() : own.get());
        lilv_instance_run(instance, block);
        lilv_instance_deactivate(instance);
        lilv_instance_activate(instance);
        active = true;
    }

    // A block in one or two runs, `note` at `frame` of the run that starts at `split`; Ardour
    // hands every cycle one of five buffer sets that still hold what they held, and a sequence
    // header with junk in one of them.
    void cycle(uint32_t block, uint32_t split, int64_t frame, const std::vector<uint8_t>& note) {
        Set& set = sets[ardour ? cycles++ % 5 : 0];
        if (set.left.size() < block) {
            set.left.assign(block, ardour ? 1e28f : 0.0f);
            set.right.assign(block, ardour ? 0.04f : 0.0f);
        }
        for (uint32_t start = 0; start < block;) {
            const uint32_t n = split > start ? split - start : block - start;
            auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(set.sequence.data());
            seq->atom.type = host.map(LV2_ATOM__Sequence);
            seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
            seq->body.unit = ardour && &set == &sets[3] ? 22007u : 0u;
            seq->body.pad = ardour && &set == &sets[3] ? 175117312u : 0u;
            if (start == split && !note.empty()) {
                auto* event = reinterpret_cast<LV2_Atom_Event*>(seq + 1);
                event->time.frames = frame;
                event->body.size = uint32_t(note.size());
                event->body.type = host.map(LV2_MIDI__MidiEvent);
                std::memcpy(event + 1, note.data(), note.size());
                seq->atom.size +=
                    uint32_t(sizeof(LV2_Atom_Event) + lv2_atom_pad_size(uint32_t(note.size())));
            }
            // A second run of a split cycle goes into the same buffers, from their start.
            lilv_instance_connect_port(instance, midiPort, seq);
            lilv_instance_connect_port(instance, leftPort, set.left.data());
            lilv_instance_connect_port(instance, rightPort, set.right.data());
            lilv_instance_run(instance, n);
            left.insert(left.end(), set.left.begin(), set.left.begin() + n);
            right.insert(right.end(), set.right.begin(), set.right.begin() + n);
            start += n;
        }
    }

    std::vector<float> left;
    std::vector<float> right;

private:
    struct Set {
        std::vector<uint64_t> sequence = std::vector<uint64_t>(64, 0);
        std::vector<float> left;
        std::vector<float> right;
    };

    LilvTestHost& host;
    bool ardour;
    LilvInstance* instance = nullptr;
    bool active = false;
    std::vector<float> controls;
    uint32_t midiPort = 0;
    uint32_t leftPort = 0;
    uint32_t rightPort = 0;
    Set sets[5];
    uint64_t cycles = 0;
};

} // namespace

// Ardour 7.3's ways, on top of those above: two silent latency runs with both outputs on one
// buffer that is freed afterwards, five buffer sets taken in turn, and cycles split where MIDI
// starts, the second run writing from the start of the same buffers. The sound is still the
// plain host's, bit for bit, in both channels.
TEST_F(HostBufferTest, ArdourLatencyRunsBufferSetsAndSplitCyclesLeaveTheSoundAsItIs) {
    for (const double rate : {44100.0, 48000.0}) {
        for (const uint32_t block : {1024u, 2048u}) {
            ArdourLikeRun ardour(host, rate, true);
            ArdourLikeRun plain(host, rate, false);
            ASSERT_TRUE(ardour.ready() && plain.ready());
            for (auto* run : {&ardour, &plain}) {
                run->latencyRun(block);
                run->latencyRun(block);
                for (uint32_t b = 0; b < 24; ++b) {
                    const uint8_t note = uint8_t(48 + (b * 7) % 24);
                    // A note starts in every third cycle, which is split 86 frames before its end
                    // (as Ardour splits where an export starts); the next cycle ends it midway.
                    if (b % 3 == 1)
                        run->cycle(block, block - 86, 5, {0x90, note, 100});
                    else if (b % 3 == 2)
                        run->cycle(block, 0, block / 2,
                                   {0x80, uint8_t(48 + ((b - 1) * 7) % 24), 0});
                    else
                        run->cycle(block, 0, 0, {});
                }
            }
            EXPECT_EQ(ardour.left, plain.left) << rate << " Hz, " << block << "-frame cycles";
            EXPECT_EQ(ardour.right, plain.right) << rate << " Hz, " << block << "-frame cycles";
            EXPECT_EQ(ardour.left, ardour.right)
                << "the default patch is the same in both channels";
            EXPECT_GT(analysis::peak(ardour.right, 0, ardour.right.size()), 0.01);
        }
    }
}
