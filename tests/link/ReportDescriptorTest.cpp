#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "link/ReportDescriptor.h"

namespace kavo3::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Vendor page, one application collection, 64 bytes in and 64 bytes out, no report IDs.
const Bytes kVendor64{
    0x06, 0x00, 0xFF,  // Usage Page (Vendor 0xFF00)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x01,        //   Usage (1)
    0x81, 0x02,        //   Input (Data, Var, Abs)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x01,        //   Usage (1)
    0x91, 0x02,        //   Output (Data, Var, Abs)
    0xC0,              // End Collection
};

// Keyboard (ID 1: 8 bytes in, LED byte out) and consumer control (ID 2: 16 bits in).
const Bytes kKeyboardAndConsumer{
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,  // Generic Desktop, Keyboard, Application
    0x85, 0x01,                          //   Report ID (1)
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7,  //   modifiers
    0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02,              //   (8 bits)
    0x95, 0x01, 0x75, 0x08, 0x81, 0x03,                                      //   reserved byte
    0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02,  // LEDs
    0x95, 0x01, 0x75, 0x03, 0x91, 0x03,                                      // LED padding
    0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65,                          // six keys
    0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00,                          //   (6 bytes)
    0xC0,                                                                    // End Collection
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01,  // Consumer, Consumer Control, Application
    0x85, 0x02,                          //   Report ID (2)
    0x15, 0x00, 0x26, 0xFF, 0x03, 0x19, 0x00, 0x2A, 0xFF, 0x03, 0x75, 0x10,
    0x95, 0x01, 0x81, 0x00,  //   one 16-bit usage
    0xC0,
};

// Mouse with a report ID, nested collections, 12-bit axes: 7 bytes in, nothing out.
const Bytes kMouse{
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01,  // Generic Desktop, Mouse, Application
    0x85, 0x02,                          //   Report ID (2)
    0x09, 0x01, 0xA1, 0x00,              //   Pointer, Physical
    0x05, 0x09, 0x19, 0x01, 0x29, 0x10, 0x15, 0x00, 0x25, 0x01, 0x95, 0x10,
    0x75, 0x01, 0x81, 0x02,  //     16 buttons
    0x05, 0x01, 0x16, 0x01, 0xF8, 0x26, 0xFF, 0x07, 0x75, 0x0C, 0x95, 0x02,
    0x09, 0x30, 0x09, 0x31, 0x81, 0x06,  //     X, Y: 2 x 12 bits
    0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x01, 0x09, 0x38, 0x81, 0x06,  // wheel
    0x05, 0x0C, 0x0A, 0x38, 0x02, 0x95, 0x01, 0x81, 0x06,                    // AC Pan
    0xC0, 0xC0,
};

void expectLengths(const Bytes& d, std::uint16_t in, std::uint16_t out) {
    const auto lengths = reportLengthsFromDescriptor(d);
    ASSERT_TRUE(lengths.has_value());
    EXPECT_EQ(lengths->InputReportByteLength, in);
    EXPECT_EQ(lengths->OutputReportByteLength, out);
}

TEST(ReportLengths, VendorReportsWithoutIdsCountTheIdByte) {
    expectLengths(kVendor64, 65, 65);
    EXPECT_FALSE(parseReportLayout(kVendor64)->numbered);
}

TEST(ReportLengths, NumberedReportsTakeTheLongestOfEachKind) {
    expectLengths(kKeyboardAndConsumer, 9, 2);
    EXPECT_TRUE(parseReportLayout(kKeyboardAndConsumer)->numbered);
    expectLengths(kMouse, 8, 0);
    EXPECT_TRUE(parseReportLayout(kMouse)->numbered);
}

TEST(ReportLengths, BitsOfOneReportAddUpAcrossItemsAndCollectionsBeforeRounding) {
    const Bytes d{
        0xA1, 0x01, 0x85, 0x01, 0x75, 0x01, 0x95, 0x03, 0x81, 0x02,  // ID 1: 3 bits
        0xA1, 0x02, 0x75, 0x06, 0x95, 0x01, 0x81, 0x02, 0xC0,        //       + 6 bits
        0x85, 0x02, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02,              // ID 2: 8 bits
        0x85, 0x01, 0x75, 0x01, 0x95, 0x02, 0xB1, 0x02,              // feature: not counted
        0xC0,
    };
    expectLengths(d, 3, 0);  // ID 1 has 9 bits: two bytes and the ID
}

TEST(ReportLengths, FeatureOnlyAndEmptyDescriptorsHaveNoReports) {
    expectLengths({0x75, 0x08, 0x95, 0x40, 0xB1, 0x02}, 0, 0);
    expectLengths({}, 0, 0);
}

TEST(ReportLengths, PushAndPopRestoreSizeCountAndReportId) {
    const Bytes d{
        0x85, 0x01, 0x75, 0x08, 0x95, 0x04,  // ID 1, 4 x 8 bits
        0xA4,                                // Push
        0x85, 0x02, 0x75, 0x01, 0x95, 0x03,  // ID 2, 3 x 1 bit
        0x81, 0x02,                          // ID 2 input: 3 bits
        0xB4,                                // Pop
        0x81, 0x02,                          // ID 1 input: 32 bits
        0x91, 0x02,                          // ID 1 output: 32 bits
    };
    expectLengths(d, 5, 5);

    Bytes deep;
    for (int i = 0; i < 16; ++i) deep.push_back(0xA4);
    for (int i = 0; i < 16; ++i) deep.push_back(0xB4);
    EXPECT_TRUE(reportLengthsFromDescriptor(deep).has_value());
    deep.insert(deep.begin(), 0xA4);  // one Push more than the stack holds
    deep.push_back(0xB4);
    EXPECT_FALSE(reportLengthsFromDescriptor(deep).has_value());
    EXPECT_FALSE(reportLengthsFromDescriptor(Bytes{0xB4}).has_value());
}

TEST(ReportLengths, LongItemsAreSkippedWhole) {
    Bytes d = kVendor64;
    // A long item whose data looks like Report Count (255) and an Input item.
    const Bytes longItem{0xFE, 0x04, 0x10, 0x95, 0xFF, 0x81, 0x02};
    d.insert(d.begin() + 12, longItem.begin(), longItem.end());
    expectLengths(d, 65, 65);
    EXPECT_TRUE(reportLengthsFromDescriptor(Bytes{0xFE, 0x00, 0x01}).has_value());
    EXPECT_FALSE(reportLengthsFromDescriptor(Bytes{0xFE, 0x05, 0x01, 0x00}).has_value());
    EXPECT_FALSE(reportLengthsFromDescriptor(Bytes{0xFE, 0x00}).has_value());
}

TEST(ReportLengths, FourByteItemsAndLocalItemsAreHandled) {
    // Report Count as a four-byte item; usages (local) with four-byte data in between.
    expectLengths(
        {0x75, 0x08, 0x97, 0x20, 0x00, 0x00, 0x00, 0x0B, 0x01, 0x00, 0x00, 0xFF, 0x81, 0x02}, 33,
        0);
}

TEST(ReportLengths, MalformedDescriptorsGiveNoAnswer) {
    const std::vector<Bytes> malformed{
        {0x75},                          // item cut off
        {0x95, 0x40, 0x27, 0xFF, 0xFF},  // four-byte item cut off
        {0x85, 0x00, 0x81, 0x02},        // Report ID 0
        {0x86, 0x00, 0x01},              // Report ID 256
        {0xC0},                          // End Collection without a start
        {0xA1, 0x01, 0x81, 0x02},        // collection never closed
        {0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02},  // too long
    };
    for (const Bytes& d : malformed)
        EXPECT_FALSE(reportLengthsFromDescriptor(d).has_value()) << "size " << d.size();
}

TEST(ReportLengths, LongestRepresentableReportStillFits) {
    // 65534 bytes plus the ID byte is the most a 16-bit length holds.
    expectLengths({0x75, 0x08, 0x96, 0xFE, 0xFF, 0x81, 0x02}, 0xFFFF, 0);
    EXPECT_FALSE(
        reportLengthsFromDescriptor(Bytes{0x75, 0x08, 0x96, 0xFF, 0xFF, 0x81, 0x02}).has_value());
}

// Every prefix of a real descriptor, and random byte soup leaning towards real item
// prefixes, must be answered without reading outside the span (run under ASan).
TEST(ReportLengths, TruncatedAndRandomDescriptorsAreReadSafely) {
    for (const Bytes* real : {&kVendor64, &kKeyboardAndConsumer, &kMouse}) {
        for (std::size_t n = 0; n <= real->size(); ++n) {
            const Bytes prefix(real->begin(), real->begin() + static_cast<std::ptrdiff_t>(n));
            (void)reportLengthsFromDescriptor(prefix);
        }
    }

    const std::uint8_t prefixes[] = {0x05, 0x06, 0x09, 0x75, 0x95, 0x85, 0x81, 0x91, 0xB1,
                                     0xA1, 0xC0, 0xA4, 0xB4, 0xFE, 0x97, 0x27, 0x0B};
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 96);
    std::uniform_int_distribution<int> pick(0, 2 * static_cast<int>(std::size(prefixes)) - 1);
    int answered = 0;
    for (int i = 0; i < 20000; ++i) {
        Bytes d(static_cast<std::size_t>(length(random)));
        for (auto& b : d) {
            const int p = pick(random);
            b = p < static_cast<int>(std::size(prefixes)) ? prefixes[p]
                                                          : static_cast<std::uint8_t>(byte(random));
        }
        const auto layout = parseReportLayout(d);

        // A whole long item and a usage in front change nothing.
        Bytes padded{0xFE, 0x02, 0x7F, 0x85, 0x00, 0x09, 0x01};
        padded.insert(padded.end(), d.begin(), d.end());
        const auto same = parseReportLayout(padded);
        ASSERT_EQ(layout.has_value(), same.has_value()) << "case " << i;
        if (!layout) continue;
        ++answered;
        EXPECT_EQ(layout->lengths.InputReportByteLength, same->lengths.InputReportByteLength);
        EXPECT_EQ(layout->lengths.OutputReportByteLength, same->lengths.OutputReportByteLength);
        if (layout->numbered) {
            EXPECT_NE(std::find(d.begin(), d.end(), 0x85), d.end());
        }
    }
    EXPECT_GT(answered, 100);  // the soup must reach the counting, not only the rejects
}

}  // namespace
}  // namespace kavo3::link
