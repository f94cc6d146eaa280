// Each finding of the diagnosis against the hidraw backend over a fake sysfs tree: what it
// says, whether it counts as a problem, and the remedy it names.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "link/Diagnosis.h"
#include "tests/link/linux/FakeHidraw.h"

namespace kavo3::link {
namespace {

using namespace std::chrono_literals;

// The unit's side of the connection check: answers command 2 with a non-zero byte.
void answerConnectionCheck(const UniqueFd& unit, std::uint8_t answer) {
    const testing::Bytes command = testing::receive(unit);
    if (command.size() > 1 && command[1] == 2) {
        testing::Bytes reply(64, 0);
        reply[0] = answer;
        testing::send(unit, reply);
    }
}

struct Case {
    const char* name;
    std::function<void(testing::FakeSysfs&, testing::SocketHidrawTransport&,
                       std::vector<UniqueFd>&)>
        arrange;
    bool ruleInstalled;
    std::uint8_t answer;  // first answer byte of the unit; 0: only zeros
    std::string topic;    // the finding looked for
    Finding::Kind kind;
    std::string text;    // part of what it says
    std::string remedy;  // part of its remedy, "" for none
};

TEST(Diagnosis, EachFindingWithItsRemedy) {
    ::signal(SIGPIPE, SIG_IGN);
    const auto unitAt = [](const char* name) {
        return [name](testing::FakeSysfs& sysfs, testing::SocketHidrawTransport& transport,
                      std::vector<UniqueFd>& ends) {
            sysfs.add(name, testing::uevent(0x17A7, 1) + "HID_PHYS=usb-0000:00:14.0-3/input0\n",
                      testing::vendorDescriptor());
            ends.push_back(transport.plug(sysfs.node(name)));
        };
    };
    const auto refused = [](testing::FakeSysfs& sysfs, testing::SocketHidrawTransport& transport,
                            std::vector<UniqueFd>&) {
        sysfs.addUnit("hidraw2", 0x17A7, 1);
        transport.refuse(sysfs.node("hidraw2"), EACCES);
    };
    using K = Finding::Kind;
    const std::vector<Case> cases = {
        {"nothing", [](auto&, auto&, auto&) {}, false, 1, "interfaces", K::Problem,
         "no HID interface at all", "Plug the unit in"},
        {"a mouse only",
         [](testing::FakeSysfs& sysfs, auto&, auto&) { sysfs.addUnit("hidraw0", 0x046D, 0xC077); },
         false, 1, "units", K::Problem, "none of them is a KAVO-3", "cable"},
        {"seen", unitAt("hidraw1"), false, 1, "interfaces", K::Ok, "hidraw1 17a7:0001", ""},
        {"answers", unitAt("hidraw1"), false, 1, "answer", K::Ok,
         "(usb-0000:00:14.0-3/input0) answers the connection check", ""},
        {"lengths", unitAt("hidraw1"), false, 1, "reports", K::Ok,
         "output 65 bytes, input 65 bytes", ""},
        {"silent", unitAt("hidraw1"), false, 0, "answer", K::Problem, "does not answer",
         "switched on"},
        {"short reports",
         [](testing::FakeSysfs& sysfs, testing::SocketHidrawTransport& transport,
            std::vector<UniqueFd>& ends) {
             sysfs.addUnit("hidraw1", 0x17A7, 2, testing::vendorDescriptor(8, 8));
             ends.push_back(transport.plug(sysfs.node("hidraw1")));
         },
         false, 1, "reports", K::Problem, "reports too short (output 9 bytes, input 9 bytes)",
         "at least 65 bytes"},
        {"no permission, no rule", refused, false, 1, "udev rule", K::Problem,
         "70-kavo3.rules is not installed", "Install the udev rule 70-kavo3.rules"},
        {"no permission, no rule: the node", refused, false, 1, "permission", K::Problem,
         "hidraw2 may not be opened", "Install the udev rule 70-kavo3.rules"},
        // Ok in itself, but the unit still cannot be opened.
        {"no permission, rule installed", refused, true, 1, "udev rule", K::Ok, "installed at", ""},
        {"no permission, rule not applied", refused, true, 1, "permission", K::Problem,
         "may not be opened", "udevadm control --reload"},
        {"tick", unitAt("hidraw1"), false, 1, "tick", K::Note, "ticks of 1 ms", "--tick-ms 16"},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::FakeSysfs sysfs;
        testing::SocketHidrawTransport transport(sysfs.sys(), sysfs.dev());
        std::vector<UniqueFd> ends;
        c.arrange(sysfs, transport, ends);
        const std::string rule = sysfs.sys() + "/70-kavo3.rules";
        if (c.ruleInstalled) std::ofstream(rule) << "# rule\n";

        std::thread unit;
        if (!ends.empty()) unit = std::thread(answerConnectionCheck, std::cref(ends[0]), c.answer);
        DiagnosisSetup setup;
        setup.udevRulePaths = {rule};
        setup.settleWait = [](int) {};
        setup.readWait = 100ms;
        const std::vector<Finding> findings = diagnose(transport, setup);
        if (unit.joinable()) unit.join();

        const Finding* found = nullptr;
        for (const Finding& f : findings)
            if (f.topic == c.topic && f.text.find(c.text) != std::string::npos) found = &f;
        ASSERT_NE(found, nullptr) << "no " << c.topic << " finding saying \"" << c.text << "\"";
        EXPECT_EQ(found->kind, c.kind);
        if (c.remedy.empty())
            EXPECT_EQ(found->remedy, "") << found->text;
        else
            EXPECT_NE(found->remedy.find(c.remedy), std::string::npos) << found->remedy;
        // Where the rule is installed here, the node still refuses: the unit would not work.
        const bool works = c.kind != K::Problem && !c.ruleInstalled;
        EXPECT_EQ(unitWouldWork(findings), works) << found->text;
    }
}

}  // namespace
}  // namespace kavo3::link
