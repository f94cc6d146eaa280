#include <gtest/gtest.h>

#include "sim/SimOptions.h"

namespace kavo3::sim {
namespace {

SimOptions parsed(std::string_view text) {
    std::string error;
    const auto o = parseSimSwitches(text, error);
    EXPECT_TRUE(o.has_value()) << text << ": " << error;
    EXPECT_TRUE(error.empty());
    return o.value_or(SimOptions{});
}

std::string rejection(std::string_view text) {
    std::string error;
    const auto o = parseSimSwitches(text, error);
    EXPECT_FALSE(o.has_value()) << text;
    return error;
}

TEST(SimSwitches, NothingGivesAHealthyDefaultUnit) {
    for (std::string_view text : {"", " ", ",,"}) {
        const SimOptions o = parsed(text);
        EXPECT_EQ(o.width, 720);
        EXPECT_EQ(o.height, 480);
        EXPECT_EQ(o.vendorId, 0x17A7);
        EXPECT_EQ(o.productId, 0x0001);
        EXPECT_EQ(o.fpgaSelect, 2);
        EXPECT_TRUE(o.input);
        EXPECT_FALSE(o.noAnswer || o.zeroAnswers || o.lateAnswers || o.corruptFlash);
        EXPECT_EQ(o.unplugAfter, -1);
        EXPECT_EQ(o.checksumPolls, 0);
        EXPECT_EQ(o.reportDelay.count(), 0);
        EXPECT_EQ(o.extraInterfaces, 0);
        EXPECT_FALSE(o.horizontalValue || o.verticalValue);
    }
}

TEST(SimSwitches, EverySwitchSetsItsOption) {
    const SimOptions o = parsed(
        "size=1920x1080, fpga=1,noinput,noanswer,zeros,late,unplug=100,corrupt,polls=3,usb,"
        "base=0x40,basehigh=2,extra=2,id=04d8:0000,hvalue=-5,vvalue=0xFFFF,coarse,unchecked");
    EXPECT_EQ(o.width, 1920);
    EXPECT_EQ(o.height, 1080);
    EXPECT_EQ(o.fpgaSelect, 1);
    EXPECT_FALSE(o.input);
    EXPECT_TRUE(o.noAnswer);
    EXPECT_TRUE(o.zeroAnswers);
    EXPECT_TRUE(o.lateAnswers);
    EXPECT_EQ(o.unplugAfter, 100);
    EXPECT_TRUE(o.corruptFlash);
    EXPECT_EQ(o.checksumPolls, 3);
    EXPECT_EQ(o.reportDelay, std::chrono::microseconds(1000));
    EXPECT_EQ(o.timingBaseLow, 0x40);
    EXPECT_EQ(o.timingBaseHigh, 2);
    EXPECT_EQ(o.extraInterfaces, 2);
    EXPECT_EQ(o.vendorId, 0x04D8);
    EXPECT_EQ(o.productId, 0x0000);
    EXPECT_EQ(o.horizontalValue, -5);
    EXPECT_EQ(o.verticalValue, 0xFFFF);
    EXPECT_TRUE(o.coarsePace);
    EXPECT_FALSE(o.viewChecks);
}

TEST(SimSwitches, AUnitHeldElsewhereAndAWriteNotTaken) {
    EXPECT_EQ(parsed("").busyHolder, 0);
    EXPECT_EQ(parsed("busy").busyHolder, -1);
    EXPECT_EQ(parsed("busy=4242").busyHolder, 4242);
    EXPECT_EQ(parsed("").refuseWrite, -1);
    EXPECT_EQ(parsed("refuse=3").refuseWrite, 3);
    for (const char* bad : {"busy=0", "busy=x", "refuse", "refuse=0"})
        EXPECT_FALSE(rejection(bad).empty()) << bad;
}

TEST(SimSwitches, LaterSwitchesWinAndPollsCanBeNever) {
    EXPECT_EQ(parsed("polls=3,polls=never").checksumPolls, -1);
    EXPECT_EQ(parsed("usb,delay=250").reportDelay, std::chrono::microseconds(250));
    EXPECT_EQ(parsed("size=64x101,size=65X1299").width, 65);
    EXPECT_EQ(parsed("unplug=0").unplugAfter, 0);
}

TEST(SimSwitches, NoAnswerAfterSomeReportsAndComingBackAfterAnUnplug) {
    const SimOptions silent = parsed("noanswer");
    EXPECT_TRUE(silent.noAnswer);
    EXPECT_EQ(silent.answeredBeforeSilence, 0);
    const SimOptions later = parsed("noanswer=3");
    EXPECT_TRUE(later.noAnswer);
    EXPECT_EQ(later.answeredBeforeSilence, 3);
    EXPECT_EQ(parsed("noanswer=3,noanswer").answeredBeforeSilence, 0);

    const SimOptions back = parsed("replug=0x20,unplug=5");
    EXPECT_EQ(back.unplugAfter, 5);
    EXPECT_EQ(back.replugAfterMs, 32);
    EXPECT_EQ(parsed("").replugAfterMs, -1);
    EXPECT_NE(rejection("replug=0x20").find("unplug"), std::string::npos);
    EXPECT_FALSE(back.replugRestarts);
    EXPECT_TRUE(parsed("unplug=5,replug=0,restart").replugRestarts);
    EXPECT_NE(rejection("restart=1").find("restart"), std::string::npos);
    for (std::string_view junk :
         {"noanswer=-1", "noanswer=x", "replug=-1", "replug=", "replug=86400001"})
        EXPECT_NE(rejection(junk).find(std::string(junk)), std::string::npos) << junk;
}

TEST(SimSwitches, JunkIsRejectedWithAMessageNamingIt) {
    EXPECT_NE(rejection("size=720x480,bogus").find("bogus"), std::string::npos);
    for (std::string_view junk :
         {"size",          "size=720",     "size=0x480",    "size=720x480x3",  "size=40000x480",
          "size=axb",      "fpga=256",     "fpga=",         "fpga=two",        "noinput=1",
          "late=yes",      "unplug=-1",    "polls=-2",      "polls=sometimes", "base=0x100",
          "basehigh=-1",   "extra=65",     "id=17a7",       "id=17a7:",        "id=xyz:0001",
          "id=12345:0001", "hvalue=65536", "vvalue=-32769", "delay=1e3",       "usb=1",
          "SIZE=720x480"}) {
        const std::string error = rejection(junk);
        EXPECT_FALSE(error.empty()) << junk;
        EXPECT_NE(error.find(std::string(junk)), std::string::npos) << junk << ": " << error;
    }
}

}  // namespace
}  // namespace kavo3::sim
