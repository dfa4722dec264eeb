// The bookkeeping every MIDI backend shares: clients and ports with their handles, a port of the
// wrong direction refused, the packet lists the MIDI thread hands to the read callbacks, and the
// endpoint listing answered by index.
#include "MidiPortTable.h"
#include "MidiEndpointList.h"
#include "MidiPacketImages.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct NativePort {
    int opened = 0;
};
using Table = MidiPortTable<NativePort, 3>;

// What a port's read callback was handed: one entry per list, the messages in it.
struct ReadLog {
    std::vector<std::vector<Bytes>> lists;
    static void read(const MIDIPacketList* list, void* refCon, void*) {
        std::vector<Bytes> messages;
        MIDIPacketListReader reader(*list);
        MIDIPacketView packet;
        while (reader.next(&packet))
            messages.emplace_back(packet.data, packet.data + packet.length);
        static_cast<ReadLog*>(refCon)->lists.push_back(messages);
    }
};

MIDIPortRef addPort(Table& table, MIDIClientRef client, bool isInput, ReadLog* log = nullptr) {
    MIDIPortRef port = 0;
    const MIDIStatus status = table.add(
        client, isInput, log ? ReadLog::read : nullptr, log,
        [](NativePort& native) { return ++native.opened == 1; }, &port);
    EXPECT_EQ(status, midiNoError);
    return port;
}

} // namespace

TEST(MidiPortTable, PortsBelongToClientsHandedOutAndHaveDistinctHandles) {
    Table table;
    MIDIClientRef first = 0, second = 0;
    ASSERT_EQ(table.addClient(&first), midiNoError);
    ASSERT_EQ(table.addClient(&second), midiNoError);
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, second);
    EXPECT_FALSE(table.hasClient(0));
    EXPECT_FALSE(table.hasClient(second + 1)) << "never handed out";

    MIDIPortRef port = 0;
    auto open = [](NativePort&) { return true; };
    EXPECT_EQ(table.add(0, true, nullptr, nullptr, open, &port), midiInvalidClient);
    EXPECT_EQ(table.add(second + 7, true, nullptr, nullptr, open, &port), midiInvalidClient);
    EXPECT_EQ(table.size(), 0);

    const MIDIPortRef in = addPort(table, first, true);
    const MIDIPortRef out = addPort(table, second, false);
    EXPECT_GE(in, Table::firstPortRef);
    EXPECT_NE(in, out);
    EXPECT_EQ(table.size(), 2);
    EXPECT_EQ(table.find(in)->opened, 1) << "opened once, natively";
}

TEST(MidiPortTable, HandlesOfTheWrongDirectionOrOfNoPortAreRefused) {
    Table table;
    MIDIClientRef client = 0;
    table.addClient(&client);
    const MIDIPortRef in = addPort(table, client, true);
    const MIDIPortRef out = addPort(table, client, false);

    EXPECT_NE(table.input(in), nullptr);
    EXPECT_EQ(table.output(in), nullptr);
    EXPECT_NE(table.output(out), nullptr);
    EXPECT_EQ(table.input(out), nullptr);
    for (MIDIPortRef stray : {MIDIPortRef{0}, MIDIPortRef{1}, Table::firstPortRef - 1, out + 1}) {
        EXPECT_EQ(table.find(stray), nullptr) << stray;
        EXPECT_EQ(table.input(stray), nullptr) << stray;
        EXPECT_EQ(table.output(stray), nullptr) << stray;
    }
}

TEST(MidiPortTable, APortTheLibraryCannotMakeIsNotPublishedAndAFullTableRefuses) {
    Table table;
    MIDIClientRef client = 0;
    table.addClient(&client);
    MIDIPortRef port = 0;
    EXPECT_EQ(table.add(
                  client, true, nullptr, nullptr, [](NativePort&) { return false; }, &port),
              midiInvalidPort);
    EXPECT_EQ(table.size(), 0);
    for (int i = 0; i < 3; ++i)
        addPort(table, client, i == 0);
    EXPECT_EQ(table.add(
                  client, true, nullptr, nullptr, [](NativePort&) { return true; }, &port),
              midiInvalidPort);
    EXPECT_EQ(table.size(), 3);
}

TEST(MidiPortTable, DeliveryGathersARunForOnePortAndSplitsAtAnotherPortAndWhenFull) {
    Table table;
    MIDIClientRef client = 0;
    table.addClient(&client);
    ReadLog first, second;
    addPort(table, client, true, &first);
    addPort(table, client, true, &second);
    addPort(table, client, true); // no read callback: its messages go nowhere

    Table::Delivery delivery(table);
    const Bytes on = {0x90, 0x3C, 0x64}, off = {0x80, 0x3C, 0x00};
    delivery.add(0, 1, on.data(), 3);
    delivery.add(0, 2, off.data(), 3);
    delivery.add(1, 3, on.data(), 3);
    delivery.add(2, 4, on.data(), 3);
    delivery.add(0, 5, off.data(), 3);
    EXPECT_EQ(first.lists.size(), 1u) << "a list goes once the next port's message comes";
    delivery.flush();
    delivery.flush();
    EXPECT_EQ(first.lists, (std::vector<std::vector<Bytes>>{{on, off}, {off}}));
    EXPECT_EQ(second.lists, (std::vector<std::vector<Bytes>>{{on}}));

    // Messages that outgrow one list's buffer go in as many lists as they need, in order.
    first.lists.clear();
    const Bytes sysEx(1000, 0x01);
    for (int i = 0; i < 10; ++i)
        delivery.add(0, std::uint64_t(i), sysEx.data(), std::uint16_t(sysEx.size()));
    delivery.flush();
    size_t messages = 0;
    for (const auto& list : first.lists)
        messages += list.size();
    EXPECT_GT(first.lists.size(), 1u);
    EXPECT_EQ(messages, 10u);
}

TEST(MidiEndpointList, AnswersFromTheLastListingAndZeroOutsideIt) {
    MidiEndpointList list;
    EXPECT_EQ(list.at(0), 0u);
    EXPECT_EQ(list.replace({0x10001, 0x10002}), 2);
    EXPECT_EQ(list.at(0), 0x10001u);
    EXPECT_EQ(list.at(1), 0x10002u);
    EXPECT_EQ(list.at(2), 0u);
    EXPECT_EQ(list.at(-1), 0u);
    EXPECT_EQ(list.replace({}), 0);
    EXPECT_EQ(list.at(0), 0u);
}
