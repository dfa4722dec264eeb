// MIDIObject on the in-process MIDI services: listing, connecting, MIDI thru and hot-plug.
// The test thread is the main thread (it runs the queued set-up notifications) and, when it
// plays a virtual source, the MIDI thread too.
#include "DspPointer.h"
#include "EngineUnderTest.h"
#include "InProcessMidiBackend.h"
#include "MIDIInput.h"
#include "MIDIObject.h"
#include "MidiPacketImages.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <new>

namespace {

class MidiPorts : public ::testing::Test {
protected:
    void SetUp() override {
        // A fresh process-wide MIDI object for every test, as at program start.
        midiObject.~MIDIObject();
        new (&midiObject) MIDIObject;
        backend = std::make_shared<InProcessMidiBackend>();
        MIDIServicesUseBackend(backend);
        MIDIServicesSetMainThreadDispatch(
            [this](std::function<void()> task) { mainQueue.push_back(std::move(task)); });
        dspPointer = engine.handle();
    }
    void TearDown() override {
        MIDIServicesSetMainThreadDispatch(nullptr);
        dspPointer = nullptr;
    }

    // What the main thread's event loop would do.
    int runMainQueue() {
        int ran = 0;
        while (!mainQueue.empty()) {
            auto task = std::move(mainQueue.front());
            mainQueue.pop_front();
            task();
            ++ran;
        }
        return ran;
    }

    void startUp() {
        midiObject.initialize();
        midiObject.MIDIInputConnectAll();
        runMainQueue();
    }

    // True when a note played on `source` reaches the engine.
    bool plays(MIDIEndpointRef source, std::uint8_t note = 60) {
        engine.drain();
        backend->sendBytesFromSource(source, {0x90, note, 0x64});
        const auto events = engine.drain();
        return events.size() == 1 && events[0].subType == EventSubTypeNoteOn &&
               events[0].value1 == note;
    }

    std::vector<MIDIEndpointRef> connected() {
        return backend->connectedSources(midiObject.inputPortRef);
    }

    EngineUnderTest engine;
    std::shared_ptr<InProcessMidiBackend> backend;
    std::deque<std::function<void()>> mainQueue;
};

} // namespace

TEST_F(MidiPorts, StartUpListsEndpointsCreatesClientsAndConnectsEverySource) {
    const MIDIEndpointRef a = backend->addSource("Keys A");
    const MIDIEndpointRef b = backend->addSource("Keys B");
    const MIDIEndpointRef out = backend->addDestination("Synth Out");
    runMainQueue();
    startUp();

    ASSERT_EQ(midiObject.inputPortInfoArray.size(), 2u);
    EXPECT_EQ(midiObject.inputPortInfoArray[0].type, "Input");
    EXPECT_EQ(midiObject.inputPortInfoArray[0].endpointRef, a);
    EXPECT_EQ(midiObject.inputPortInfoArray[0].endpointName, "Keys A");
    EXPECT_EQ(midiObject.inputPortInfoArray[1].endpointName, "Keys B");
    EXPECT_EQ(midiObject.inputPortInfoArray[1].number, 0);
    ASSERT_EQ(midiObject.outputPortInfoArray.size(), 1u);
    EXPECT_EQ(midiObject.outputPortInfoArray[0].type, "Output");
    EXPECT_EQ(midiObject.outputPortInfoArray[0].endpointRef, out);

    EXPECT_EQ(backend->clientNames(), (std::vector<std::string>{"inputClient", "outputClient"}));
    EXPECT_NE(midiObject.inputPortRef, 0u);
    EXPECT_NE(midiObject.outputPortRef.load(), 0u);
    EXPECT_EQ(midiObject.currentInputPortInfoIndex, -1);
    EXPECT_EQ(midiObject.currentOutputPortInfoIndex.load(), -2);
    EXPECT_EQ(midiObject.inputEndpointRef, (std::vector<MIDIEndpointRef>{a, b}));
    EXPECT_EQ(connected(), (std::vector<MIDIEndpointRef>{a, b}));
    EXPECT_TRUE(plays(a));
    EXPECT_TRUE(plays(b, 62));
    EXPECT_TRUE(backend->receivedBy(out).empty()) << "no thru unless a destination is chosen";
}

TEST_F(MidiPorts, NoDeviceAtStartUpThenAKeyboardIsPluggedIn) {
    startUp();
    EXPECT_TRUE(midiObject.inputPortInfoArray.empty());
    EXPECT_TRUE(midiObject.outputPortInfoArray.empty());
    EXPECT_TRUE(midiObject.inputEndpointRef.empty());
    EXPECT_EQ(midiObject.currentInputPortInfoIndex, -1);

    const MIDIEndpointRef keys = backend->addSource("Keys");
    EXPECT_TRUE(connected().empty()) << "the notification waits for the main thread";
    EXPECT_GE(runMainQueue(), 1);
    EXPECT_EQ(connected(), (std::vector<MIDIEndpointRef>{keys}));
    EXPECT_TRUE(plays(keys));
}

TEST_F(MidiPorts, SecondKeyboardJoinsAndUnpluggingOneLeavesTheOther) {
    const MIDIEndpointRef first = backend->addSource("First");
    startUp();
    const MIDIEndpointRef second = backend->addSource("Second");
    runMainQueue();
    EXPECT_TRUE(plays(first));
    EXPECT_TRUE(plays(second, 64));

    backend->removeEndpoint(first);
    runMainQueue();
    EXPECT_EQ(connected(), (std::vector<MIDIEndpointRef>{second}));
    EXPECT_EQ(midiObject.inputEndpointRef, (std::vector<MIDIEndpointRef>{second}));
    EXPECT_EQ(midiObject.currentInputPortInfoIndex, -1);
    EXPECT_TRUE(plays(second));

    backend->removeEndpoint(second);
    runMainQueue();
    EXPECT_TRUE(connected().empty());
    EXPECT_EQ(midiObject.currentInputPortInfoIndex, -1) << "mode kept with no sources";
    const MIDIEndpointRef third = backend->addSource("Third");
    runMainQueue();
    EXPECT_TRUE(plays(third));
}

TEST_F(MidiPorts, BurstOfChangesBecomesOneNotificationPerClient) {
    startUp();
    int updates = 0;
    struct Counter : MIDIObjectDelegate {
        int* count;
        explicit Counter(int* c) : count(c) {}
        void midiPortInfoDidUpdate() override { ++*count; }
    } counter(&updates);
    midiObject.delegate = &counter;
    backend->addSource("A");
    backend->addSource("B");
    backend->addDestination("C");
    EXPECT_EQ(mainQueue.size(), 1u);
    runMainQueue();
    EXPECT_EQ(updates, 2) << "both clients are told, once each";
    EXPECT_EQ(connected().size(), 2u);
    midiObject.delegate = nullptr;
}

TEST_F(MidiPorts, ChosenSourceSurvivesChangesWhileItExists) {
    const MIDIEndpointRef a = backend->addSource("A");
    const MIDIEndpointRef b = backend->addSource("B");
    startUp();
    midiObject.inputDisconnect();
    EXPECT_EQ(midiObject.currentInputPortInfoIndex, -1) << "disconnect leaves the mode";
    midiObject.inputConnect(1);
    EXPECT_EQ(midiObject.currentInputPortInfoIndex, 1);
    EXPECT_EQ(connected(), (std::vector<MIDIEndpointRef>{b}));

    // A new source ahead of it in the list: the choice follows the handle, not the index.
    backend->removeEndpoint(a);
    const MIDIEndpointRef c = backend->addSource("C");
    runMainQueue();
    EXPECT_EQ(connected(), (std::vector<MIDIEndpointRef>{b}));
    EXPECT_EQ(midiObject.currentInputPortInfoIndex, 0);
    EXPECT_FALSE(plays(c));
    EXPECT_TRUE(plays(b));

    backend->removeEndpoint(b);
    runMainQueue();
    EXPECT_EQ(midiObject.currentInputPortInfoIndex, -2) << "let go when it is gone";
    EXPECT_TRUE(connected().empty());
    backend->addSource("D");
    runMainQueue();
    EXPECT_TRUE(connected().empty()) << "mode -2 connects nothing new";
}

TEST_F(MidiPorts, ThruPassesListsUnchangedToTheChosenDestinationOnly) {
    const MIDIEndpointRef keys = backend->addSource("Keys");
    const MIDIEndpointRef d0 = backend->addDestination("D0");
    const MIDIEndpointRef d1 = backend->addDestination("D1");
    startUp();

    const Bytes list = packetListImage({{0x90, 0x3C, 0x64}, {0xB0, 0x40, 0x7F, 0xF8}});
    backend->sendFromSource(keys, view(list));
    EXPECT_TRUE(backend->receivedBy(d0).empty());
    EXPECT_TRUE(backend->receivedBy(d1).empty());

    midiObject.outputConnect(1);
    EXPECT_EQ(midiObject.currentOutputPortInfoIndex.load(), 1);
    EXPECT_EQ(midiObject.outputEndpointRef.load(), d1);
    engine.drain();
    backend->sendFromSource(keys, view(list));
    const Bytes empty = packetListImage({});
    backend->sendFromSource(keys, view(empty));
    EXPECT_TRUE(backend->receivedBy(d0).empty());
    EXPECT_EQ(backend->receivedBy(d1), (std::vector<Bytes>{list, empty}));
    EXPECT_EQ(engine.drain().size(), 1u) << "thru comes on top of parsing";
}

TEST_F(MidiPorts, ThruDestinationSurvivesChangesWhileItExists) {
    const MIDIEndpointRef keys = backend->addSource("Keys");
    const MIDIEndpointRef d0 = backend->addDestination("D0");
    const MIDIEndpointRef d1 = backend->addDestination("D1");
    startUp();
    midiObject.outputConnect(1);

    backend->removeEndpoint(d0);
    runMainQueue();
    EXPECT_EQ(midiObject.currentOutputPortInfoIndex.load(), 0);
    EXPECT_EQ(midiObject.outputEndpointRef.load(), d1);
    backend->sendBytesFromSource(keys, {0x90, 0x3C, 0x64});
    EXPECT_EQ(backend->receivedBy(d1).size(), 1u);

    backend->removeEndpoint(d1);
    backend->addDestination("D2");
    runMainQueue();
    EXPECT_EQ(midiObject.currentOutputPortInfoIndex.load(), -2);
    EXPECT_FALSE(midiObject.hasOutputDestination());
}

TEST_F(MidiPorts, DisconnectingWithNothingConnectedDoesNothing) {
    startUp();
    midiObject.inputDisconnect();
    EXPECT_TRUE(midiObject.inputEndpointRef.empty());
    EXPECT_EQ(midiObject.currentInputPortInfoIndex, -1);
}

TEST_F(MidiPorts, IndexesOutsideTheListAreRefusedAndChangeNothing) {
    const MIDIEndpointRef keys = backend->addSource("Keys");
    startUp();
    testing::internal::CaptureStderr();
    midiObject.inputConnect(1);
    midiObject.inputConnect(-1);
    midiObject.outputConnect(0); // no destinations at all
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("no MIDI source number 1"), std::string::npos) << err;
    EXPECT_NE(err.find("no MIDI destination number 0"), std::string::npos) << err;
    EXPECT_EQ(midiObject.currentInputPortInfoIndex, -1);
    EXPECT_EQ(midiObject.inputEndpointRef, (std::vector<MIDIEndpointRef>{keys}));
    EXPECT_EQ(midiObject.currentOutputPortInfoIndex.load(), -2);
}

TEST_F(MidiPorts, UnreadableNameIsListedUnderAStandInName) {
    const MIDIEndpointRef nameless = backend->addSource("", false);
    backend->addSource("Named");
    startUp();
    ASSERT_EQ(midiObject.inputPortInfoArray.size(), 2u);
    EXPECT_EQ(midiObject.inputPortInfoArray[0].endpointName, unnamedEndpointName(nameless));
    EXPECT_EQ(midiObject.inputPortInfoArray[1].endpointName, "Named");
    EXPECT_TRUE(plays(nameless)) << "listing went on and the source is connected";
}

TEST_F(MidiPorts, OtherNotificationsAreIgnored) {
    backend->addSource("Keys");
    runMainQueue();
    startUp();
    const MIDINotification other{2, sizeof(MIDINotification)};
    midiObject.inputDisconnect();
    MIDINotifyProc(&other, nullptr);
    EXPECT_TRUE(connected().empty());
    const MIDINotification changed{kMIDIMsgSetupChanged, sizeof(MIDINotification)};
    MIDINotifyProc(&changed, nullptr);
    EXPECT_EQ(connected().size(), 1u);
}

TEST(MidiServicesWithoutBackend, EverythingAnswersEmptyAndTheProgramGoesOn) {
    MIDIServicesUseBackend(nullptr);
    EXPECT_EQ(MIDIServicesBackendName(), "none");
    MIDIObject object;
    object.initialize();
    object.MIDIInputConnectAll();
    EXPECT_TRUE(object.inputPortInfoArray.empty());
    EXPECT_TRUE(object.outputPortInfoArray.empty());
    EXPECT_EQ(object.currentInputPortInfoIndex, -1);
    const Bytes list = packetListImage({{0x90, 0x3C, 0x64}});
    const MIDIPacketList packets = view(list);
    EXPECT_EQ(MIDISend(1, 1, &packets), midiServiceUnavailable);
}
