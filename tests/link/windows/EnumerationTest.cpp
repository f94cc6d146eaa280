#include <gtest/gtest.h>

#include "FakeSetupApi.h"
#include "link/windows/WinHidTransport.h"
extern "C" {
#include <hidsdi.h>
}

namespace kavo3::link::windows {
namespace {

using testing::FakeSetup;

std::vector<std::string> pathsOf(const std::vector<InterfaceEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) out.push_back(e.path);
    return out;
}

TEST(Enumeration, ListsPresentHidInterfacesInEnumerationOrderAndReleasesTheSet) {
    FakeSetup fake;
    fake.paths = {"\\\\?\\hid#c", "\\\\?\\hid#a", "\\\\?\\hid#b"};
    WinHidTransport transport(fake.api());

    EXPECT_EQ(pathsOf(transport.listInterfaces()), fake.paths);  // not sorted

    GUID hidGuid;
    ::HidD_GetHidGuid(&hidGuid);
    EXPECT_TRUE(IsEqualGUID(fake.classGuid, hidGuid));
    EXPECT_EQ(fake.classFlags, 0x12u);  // present devices, device interfaces
    EXPECT_EQ(fake.enumeratedIndexes, (std::vector<DWORD>{0, 1, 2, 3}));
    EXPECT_EQ(fake.wrongRecordSizes, 0);  // both record sizes right for this target
    EXPECT_EQ(fake.wrongSets, 0);
    EXPECT_EQ(fake.setsMade, 1);
    EXPECT_EQ(fake.setsDestroyed, 1);
}

TEST(Enumeration, TheFirstFailingMemberEndsTheList) {
    FakeSetup fake;
    fake.paths = {"p0", "p1", "p2", "p3"};
    fake.enumFailsAt = 2;
    WinHidTransport transport(fake.api());

    EXPECT_EQ(pathsOf(transport.listInterfaces()), (std::vector<std::string>{"p0", "p1"}));
    EXPECT_EQ(fake.enumeratedIndexes, (std::vector<DWORD>{0, 1, 2}));
    EXPECT_EQ(fake.setsDestroyed, 1);
}

TEST(Enumeration, AMemberWhoseDetailCannotBeReadIsLeftOutAndTheListGoesOn) {
    FakeSetup fake;
    fake.paths = {"p0", "p1", "p2"};
    fake.detailFailsAt = 1;
    WinHidTransport transport(fake.api());

    EXPECT_EQ(pathsOf(transport.listInterfaces()), (std::vector<std::string>{"p0", "p2"}));
}

TEST(Enumeration, NoSetMeansAnEmptyListAndNothingToRelease) {
    FakeSetup fake;
    fake.paths = {"p0"};
    fake.classDevsFails = true;
    WinHidTransport transport(fake.api());

    EXPECT_TRUE(transport.listInterfaces().empty());
    EXPECT_TRUE(fake.enumeratedIndexes.empty());
    EXPECT_EQ(fake.setsDestroyed, 0);
}

TEST(Enumeration, EveryListingStartsAgainAtMemberZero) {
    FakeSetup fake;
    fake.paths = {"p0", "p1"};
    WinHidTransport transport(fake.api());
    transport.listInterfaces();
    transport.listInterfaces();
    EXPECT_EQ(fake.enumeratedIndexes, (std::vector<DWORD>{0, 1, 2, 0, 1, 2}));
    EXPECT_EQ(fake.setsMade, 2);
    EXPECT_EQ(fake.setsDestroyed, 2);
}

TEST(Enumeration, LongPathsComeThroughWhole) {
    FakeSetup fake;
    const std::string longPath = "\\\\?\\hid#vid_17a7&pid_0002#" + std::string(600, 'x') +
                                 "#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    fake.paths = {longPath};
    WinHidTransport transport(fake.api());
    const auto entries = transport.listInterfaces();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path, longPath);
}

TEST(IdentityFromPath, ReadsVendorAndProductFromTheInterfacePath) {
    auto id = identityFromInterfacePath(
        "\\\\?\\HID#VID_17A7&PID_0001#7&2b1e5c3&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}");
    ASSERT_TRUE(id);
    EXPECT_EQ(id->VendorID, 0x17A7);
    EXPECT_EQ(id->ProductID, 0x0001);

    id = identityFromInterfacePath("\\\\?\\hid#vid_04d8&pid_00ff&mi_01#8&1&0&0000#{...}");
    ASSERT_TRUE(id);
    EXPECT_EQ(id->VendorID, 0x04D8);
    EXPECT_EQ(id->ProductID, 0x00FF);

    EXPECT_FALSE(identityFromInterfacePath("\\\\?\\hid#{00001124-0000}_vid&0002046d_pid&b33d"));
    EXPECT_FALSE(identityFromInterfacePath("\\\\?\\hid#vid_17a7&pid_00"));
    EXPECT_FALSE(identityFromInterfacePath("\\\\?\\hid#vid_17g7&pid_0001"));
    EXPECT_FALSE(identityFromInterfacePath(""));
}

}  // namespace
}  // namespace kavo3::link::windows
