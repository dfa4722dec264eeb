// The packet-list image: what the writer lays down is what the reader finds, byte for byte,
// and nothing is read or written past either end.
#include "MidiPacketImages.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(MidiPacketList, ImageLayoutIsCountThenPackedPackets) {
    const Bytes image = packetListImage({{0x90, 0x3C, 0x64}, {}, {0xF8}});
    ASSERT_EQ(image.size(), 4u + (10 + 3) + 10 + (10 + 1));
    std::uint32_t count;
    std::memcpy(&count, image.data(), 4);
    EXPECT_EQ(count, 3u);
    std::uint16_t length;
    std::memcpy(&length, image.data() + 4 + 8, 2);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(image[4 + 10], 0x90) << "data right after the 10-byte packet header";
    EXPECT_EQ(image[4 + 13 + 10 + 10], 0xF8) << "no padding between packets";

    MIDIPacketListReader reader(view(image));
    EXPECT_EQ(reader.numPackets(), 3u);
    MIDIPacketView packet;
    ASSERT_TRUE(reader.next(&packet));
    EXPECT_EQ(packet.timeStamp, 1u);
    EXPECT_EQ(packet.length, 3u);
    EXPECT_EQ(packet.data[2], 0x64);
    ASSERT_TRUE(reader.next(&packet));
    EXPECT_EQ(packet.length, 0u);
    ASSERT_TRUE(reader.next(&packet));
    EXPECT_EQ(packet.timeStamp, 3u);
    EXPECT_FALSE(reader.next(&packet));
    EXPECT_TRUE(MIDIPacketListIsWellFormed(view(image)));
}

TEST(MidiPacketList, WriterRefusesWhatDoesNotFitAndKeepsTheList) {
    std::uint8_t buffer[4 + 10 + 3 + 10 + 2];
    MIDIPacketListWriter writer(buffer, sizeof buffer);
    const std::uint8_t note[] = {0x90, 0x3C, 0x64};
    EXPECT_TRUE(writer.add(5, note, 3));
    EXPECT_EQ(writer.dataRoom(), 2u);
    EXPECT_FALSE(writer.add(6, note, 3));
    EXPECT_EQ(writer.numPackets(), 1u);
    EXPECT_TRUE(writer.add(6, note, 2));
    EXPECT_EQ(writer.dataRoom(), 0u);
    EXPECT_FALSE(writer.add(7, note, 0)) << "not even an empty packet's header fits";
    EXPECT_EQ(writer.list().size, sizeof buffer);
    EXPECT_TRUE(MIDIPacketListIsWellFormed(writer.list()));
    writer.clear();
    EXPECT_EQ(writer.list().size, 4u);
    EXPECT_TRUE(writer.isEmpty());

    std::uint8_t tiny[3];
    MIDIPacketListWriter none(tiny, sizeof tiny);
    EXPECT_FALSE(none.add(0, note, 0));
}

TEST(MidiPacketList, EveryCutThroughAPacketIsRefused) {
    const Bytes image = packetListImage({{0x90, 0x3C, 0x64}, {0x80, 0x3C, 0x40}});
    for (std::size_t size = 0; size < image.size(); ++size) {
        const Bytes exact(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_FALSE(MIDIPacketListIsWellFormed({exact.data(), exact.size()})) << size;
    }
}
