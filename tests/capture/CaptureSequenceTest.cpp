// The whole capture of the core, as the command line runs it, against the simulated unit.
#include <gtest/gtest.h>

#include <vector>

#include "LinkRig.h"
#include "capture/CaptureSequence.h"
#include "link/Protocol.h"

namespace kavo3::capture {
namespace {

struct Rig : rigs::LinkRig<> {
    explicit Rig(sim::SimOptions options)
        : LinkRig(options, {.readWait = std::chrono::milliseconds(20), .recorded = true}) {}

    CaptureResult capture(std::int16_t freezeAfter, Frame& frame,
                          const CaptureCallbacks& callbacks) {
        link::Conversation talk(link);
        return captureFrame(talk, freezeAfter, frame, callbacks);
    }
};

sim::SimOptions sized(int width, int height) {
    sim::SimOptions o;
    o.width = width;
    o.height = height;
    return o;
}

TEST(CaptureFrame, ReadsEveryLineAndLeavesTheUnitAsAskedWithPixelsInPlace) {
    for (const std::int16_t freezeAfter : {0, 1}) {
        Rig rig(sized(130, 101));
        Frame frame;
        std::vector<std::int32_t> lines;
        CaptureCallbacks callbacks;
        callbacks.lines.lineDone = [&](std::int32_t y) {
            // Each line is complete when it is reported, not only at the end.
            EXPECT_EQ(frame.row(y)[2], rig.unit().pixelRGB(0, y)[0]) << y;
            lines.push_back(y);
            return true;
        };
        const CaptureResult result = rig.capture(freezeAfter, frame, callbacks);

        ASSERT_TRUE(result.accepted);
        EXPECT_EQ(result.end, LinesEnd::Complete);
        EXPECT_EQ(lines.size(), 101u);
        EXPECT_EQ(rig.unit().frozen(), freezeAfter == 1);
        // 130 pixels: a frame 132 wide whose last two columns are black, blue first.
        ASSERT_EQ(frame.FrameWidth, 132);
        const auto last = rig.unit().pixelRGB(129, 100);
        const auto row = frame.row(100);
        EXPECT_EQ(row[129 * 3 + 0], last[2]);
        EXPECT_EQ(row[129 * 3 + 2], last[0]);
        for (std::size_t i = 130 * 3; i < row.size(); ++i) EXPECT_EQ(row[i], 0) << i;

        const auto& sent = rig.recorder.commands;
        ASSERT_EQ(sent.size(), 1u + 1u + 101u + 1u);
        EXPECT_EQ(sent.front()[0], link::protocol::kFreeze);
        EXPECT_EQ(sent.front()[1], 1);
        EXPECT_EQ(sent[1][0], link::protocol::kFrameInformation);
        EXPECT_EQ(sent[2][0], link::protocol::kLineData);
        EXPECT_EQ(sent[2][1], reportsPerLine(192));
        EXPECT_EQ(sent.back()[0], link::protocol::kFreeze);
        EXPECT_EQ(sent.back()[1], freezeAfter);
    }
}

TEST(CaptureFrame, StopAfterALineLeavesTheRestBlackAndStillRestoresTheFreeze) {
    Rig rig(sized(720, 480));
    Frame frame;
    CaptureCallbacks callbacks;
    std::int32_t linesDone = 0;
    callbacks.lines.lineDone = [&](std::int32_t) { return ++linesDone > 0; };
    callbacks.lines.stopRequested = [&] { return linesDone == 10; };
    const CaptureResult result = rig.capture(0, frame, callbacks);

    EXPECT_EQ(result.end, LinesEnd::Stopped);
    EXPECT_EQ(linesDone, 10);
    for (const std::uint8_t b : frame.row(10)) ASSERT_EQ(b, 0);
    for (const std::uint8_t b : frame.row(479)) ASSERT_EQ(b, 0);
    EXPECT_FALSE(rig.unit().frozen());
    EXPECT_EQ(rig.recorder.commands.back()[0], link::protocol::kFreeze);
}

TEST(CaptureFrame, ARejectedFrameRequestsNoLineAndKeepsThePreviousFrame) {
    sim::SimOptions options;
    options.input = false;
    Rig rig(options);
    Frame frame(4, 1);
    frame.PixelBuffer.assign(frame.PixelBuffer.size(), 7);
    const CaptureResult result = rig.capture(0, frame, {});

    EXPECT_FALSE(result.accepted);
    EXPECT_EQ(frame.FrameWidth, 4);
    EXPECT_EQ(frame.PixelBuffer[0], 7);
    std::vector<std::uint8_t> codes = rig.recorder.codes();
    EXPECT_EQ(codes, (std::vector<std::uint8_t>{link::protocol::kFreeze, link::protocol::kFrameInformation,
                                                link::protocol::kFreeze}));
    EXPECT_FALSE(rig.unit().frozen());
}

// A unit plugged in again during the line loop is another attachment: none of its lines
// join the frame, and nothing of the capture goes to it.
TEST(CaptureFrame, AUnitThatComesBackMidFrameEndsTheCaptureAsLost) {
    sim::SimOptions options = sized(256, 120);
    options.unplugAfter = 10;  // freeze, frame information, then eight lines
    options.replugAfterMs = 0;
    Rig rig(options);
    Frame frame;
    std::int32_t lines = 0;
    CaptureCallbacks callbacks;
    callbacks.lines.lineDone = [&](std::int32_t) { return ++lines > 0; };
    const CaptureResult result = rig.capture(0, frame, callbacks);

    EXPECT_EQ(result.end, LinesEnd::UnitLost);
    EXPECT_FALSE(result.whole);
    EXPECT_LE(lines, 9);
    const auto& seen = rig.unit().view().attachments();
    ASSERT_EQ(seen.count(2), 0u) << "the unit that came back got " << seen.at(2).commands
                                 << " command(s)";
}

}  // namespace
}  // namespace kavo3::capture
