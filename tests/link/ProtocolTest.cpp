#include "link/Protocol.h"

#include <gtest/gtest.h>

namespace kavo3::link::protocol {
namespace {

TEST(Protocol, CommandsLayTheirNumbersLeastSignificantByteFirstAndDropBitsAbove23) {
    const struct {
        Command built;
        Command wire;
    } rows[] = {
        {writeStart(0x0E8000, 0x100000), {1, 0, 0x00, 0x80, 0x0E, 0x00, 0x00, 0x10}},
        {checksumRequest(0x12345678, 0x01ABCDEF), {6, 0, 0x78, 0x56, 0x34, 0xEF, 0xCD, 0xAB}},
        {erase(kErase32K, 0x0E8000), {5, 0, 0x00, 0x80, 0x0E, 0x55, 0xAA, 0x55}},
        {erase(kErase4K, 0x0F1000), {4, 0, 0x00, 0x10, 0x0F, 0x55, 0xAA, 0x55}},
        {blockWrite(0x24, 0x03, {9, 8, 7, 6}), {0x11, 0, 0x24, 0x03, 9, 8, 7, 6}},
        {writeEnd(blockWrite(0x24, 0x03, {9, 8, 7, 6})), {0x12, 0, 0x24, 0x03, 9, 8, 7, 6}},
        {plain(kConnectionCheck), {2, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& row : rows) EXPECT_EQ(row.built, row.wire) << int(row.wire[0]);
    EXPECT_TRUE(isStatusPoll(kStatusPollReport));
    EXPECT_FALSE(isStatusPoll({0, 0, 0, 0, 0x44, 0, 0, 0}));
}

Reply answered(std::initializer_list<std::uint8_t> bytes) {
    Reply r{true, 1, {}};
    std::size_t n = 0;
    for (const auto b : bytes) r.bytes[n++] = b;
    return r;
}

TEST(Protocol, AnswersReadAsTheUnitGivesThem) {
    EXPECT_TRUE(unitReady(answered({0, 0, 0, 0, 0, 0, 0, 1})));
    EXPECT_FALSE(unitReady(answered({0, 0, 0, 0, 0, 0, 0, 0, 1})));  // byte 9 says nothing
    Reply stale = answered({2});
    stale.answered = false;
    EXPECT_FALSE(unitReady(stale));

    const ChecksumStatus ready = checksumStatus(answered({1, 0xCD, 0xAB}));
    EXPECT_TRUE(ready.ready);
    EXPECT_EQ(ready.sum, 0xABCD);
    EXPECT_FALSE(checksumStatus(answered({2, 0xCD, 0xAB})).ready);

    const TimingBase base = timingBase(answered({0x20, 0x03}));
    EXPECT_EQ(base.low, 0x20);
    EXPECT_EQ(base.high, 0x03);
    EXPECT_EQ(blockReadByte(answered({1, 2, 3, 4, 5, 6, 7, 8}), 7), 8);

    const FrameInformation frame = frameInformation(answered({0x79, 0x07, 0x26, 0x04, 2, 0x80}));
    EXPECT_EQ(frame.horizontal, 0x0779);
    EXPECT_EQ(frame.vertical, 0x0426);
    EXPECT_EQ(frame.fpgaSelect, kFpgaSelectB2);
    EXPECT_TRUE(frame.inputPresent);
    EXPECT_EQ(answered({})[0], 0);   // the report ID is no response byte
    EXPECT_EQ(answered({})[65], 0);  // nor is anything past byte 64
}

}  // namespace
}  // namespace kavo3::link::protocol
