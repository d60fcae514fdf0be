// The simulator block attachment within one process: creation and its
// initial contents, the user count, version and size refusals, failures.
#include "mapping/GenericSimBlock.h"
#include "mapping/KQ_P_0001_02_Shm.h"
#include "tests/support/os_helpers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

namespace GSB = GenericSimBlock;

namespace {

constexpr const char* kWhere = "KQ_P_0001_02_Shm::KQ_P_0001_02_Shm";

std::string SystemText(unsigned long code)
{
    char text[1024];
    BaseSharedMemory::SystemErrorText(code, text, sizeof text);
    return text;
}

// The base's own operations, with the name and size a derived class would set.
class PlainMapping : public BaseSharedMemory {
public:
    PlainMapping(const std::string& name, std::uint32_t size)
    {
        SetName(name.c_str());
        SetSize(size);
    }
    ~PlainMapping() override { UnmapAndClose(); }
};

bool InsideSectionAddresses(std::size_t offset)
{
    return offset >= 2008 && offset < 2048;
}

} // namespace

TEST(ShmBlock, FreshBlockIsZeroButForVersionUserCountAndSectionAddresses)
{
    const std::string name = ShmTestOs::UniqueName("fresh");
    KQ_P_0001_02_Shm shm(name.c_str());
    ASSERT_TRUE(shm.IsReady()) << shm.GetErrorText();
    EXPECT_TRUE(shm.CreatedBlock());
    const auto* block = static_cast<const unsigned char*>(shm.GetBlock());
    ASSERT_NE(block, nullptr);

    // The version text NUL-padded over all 64 bytes.
    const std::size_t versionLength = std::strlen(GSB::kVersionText);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block), versionLength), GSB::kVersionText);
    EXPECT_EQ(std::string(GSB::kVersionText), " KQ_P_0001_02_genericSim $Revision: 5.5.5");
    // Offsets spelled out here on purpose: they are the simulator's, not ours to change.
    EXPECT_EQ(GSB::LoadInt32(block, 119116), 1);

    const auto start = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(block));
    const std::uint32_t increments[] = { 0, 30088, 67384, 76448, 104784, 109464, 119128, 122256, 0, 1096 };
    for (std::size_t i = 0; i < 10; ++i) {
        const auto stored = GSB::Load<std::uint32_t>(block, 2008 + 4 * i);
        if (i == 8) {
            EXPECT_EQ(stored, 0u) << "the entry at 2040 is not written";
        } else {
            EXPECT_EQ(stored, static_cast<std::uint32_t>(start + increments[i])) << "section address " << i;
        }
    }

    std::size_t strayBytes = 0;
    for (std::size_t offset = versionLength; offset < 132464; ++offset) {
        const bool expected = InsideSectionAddresses(offset) || (offset >= 119116 && offset < 119120);
        if (!expected && block[offset] != 0) {
            ++strayBytes;
            ADD_FAILURE() << "byte " << offset << " is " << int(block[offset]);
            if (strayBytes > 5) {
                break;
            }
        }
    }
}

TEST(ShmBlock, UserCountFollowsAttachersAndTheLastOneReleases)
{
    const std::string name = ShmTestOs::UniqueName("count");
    auto first = std::make_unique<KQ_P_0001_02_Shm>(name.c_str());
    ASSERT_TRUE(first->IsReady()) << first->GetErrorText();
    auto second = std::make_unique<KQ_P_0001_02_Shm>(name.c_str());
    ASSERT_TRUE(second->IsReady()) << second->GetErrorText();
    EXPECT_TRUE(first->CreatedBlock());
    EXPECT_FALSE(second->CreatedBlock());
    EXPECT_EQ(GSB::LoadUserCount(first->GetBlock()), 2);

    // Two views of one block.
    EXPECT_NE(first->GetBlock(), second->GetBlock());
    GSB::StoreDouble(first->GetBlock(), GSB::kPitchOutput, 12.5);
    EXPECT_EQ(GSB::LoadDouble(second->GetBlock(), GSB::kPitchOutput), 12.5);

    // 2 -> 1: the remaining view stays valid and keeps the contents.
    first.reset();
    EXPECT_EQ(GSB::LoadUserCount(second->GetBlock()), 1);
    EXPECT_EQ(GSB::LoadDouble(second->GetBlock(), GSB::kPitchOutput), 12.5);
    EXPECT_TRUE(ShmTestOs::MappingExists(name));

    // A third attacher that comes and goes in between counts too.
    {
        KQ_P_0001_02_Shm third(name.c_str(), true);
        ASSERT_TRUE(third.IsReady()) << third.GetErrorText();
        EXPECT_EQ(GSB::LoadUserCount(second->GetBlock()), 2);
    }
    EXPECT_EQ(GSB::LoadUserCount(second->GetBlock()), 1);

    // 1 -> 0 releases.
    second.reset();
    if (ShmTestOs::LastDetachRemovesName()) {
        EXPECT_FALSE(ShmTestOs::MappingExists(name));
        EXPECT_FALSE(ShmTestOs::LockObjectExists(name));
        KQ_P_0001_02_Shm again(name.c_str());
        ASSERT_TRUE(again.IsReady()) << again.GetErrorText();
        EXPECT_TRUE(again.CreatedBlock());
        EXPECT_EQ(GSB::LoadDouble(again.GetBlock(), GSB::kPitchOutput), 0.0);
        EXPECT_EQ(GSB::LoadUserCount(again.GetBlock()), 1);
    } else {
        // The creating process still holds the mapping; the count starts again from zero.
        KQ_P_0001_02_Shm again(name.c_str());
        ASSERT_TRUE(again.IsReady()) << again.GetErrorText();
        EXPECT_EQ(GSB::LoadUserCount(again.GetBlock()), 1);
    }
}

TEST(ShmBlock, MismatchingVersionIsRefusedAndLeavesTheCountAlone)
{
    const std::string name = ShmTestOs::UniqueName("version");
    KQ_P_0001_02_Shm owner(name.c_str());
    ASSERT_TRUE(owner.IsReady()) << owner.GetErrorText();
    void* block = owner.GetBlock();
    const std::string mismatch = std::string(kWhere) + "\nShared Memory Version Mismatch\nPlease rebuild software";
    const std::string ours = GSB::kVersionText;

    struct Case {
        const char* what;
        std::string bytes; // written over the first 64 bytes, the rest zero
        bool matches;
    };
    const Case cases[] = {
        { "another revision", " KQ_P_0001_02_genericSim $Revision: 5.5.4", false },
        { "another case", " kq_p_0001_02_genericsim $Revision: 5.5.5", false },
        { "no leading blank", ours.substr(1), false },
        { "ours with more after it", ours + "x", false },
        { "64 bytes without NUL", std::string(64, 'K'), false },
        { "ours padded to 64 without NUL", ours + std::string(64 - ours.size(), ' '), false },
        { "empty (a zeroed block)", std::string(), false },
        { "ours, NUL, then junk", ours + std::string(1, '\0') + "junk", true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::memset(block, 0, GSB::kVersionLength);
        std::memcpy(block, c.bytes.data(), c.bytes.size() < 64 ? c.bytes.size() : 64);
        {
            KQ_P_0001_02_Shm other(name.c_str());
            EXPECT_EQ(other.IsReady(), c.matches);
            EXPECT_FALSE(other.CreatedBlock());
            if (c.matches) {
                EXPECT_EQ(GSB::LoadUserCount(block), 2);
            } else {
                EXPECT_TRUE(other.VersionMismatch());
                EXPECT_EQ(std::string(other.GetErrorText()), mismatch);
                EXPECT_EQ(GSB::LoadUserCount(block), 1);
            }
        }
        // Leaving after a mismatch changes nothing either.
        EXPECT_EQ(GSB::LoadUserCount(block), 1);
        EXPECT_TRUE(ShmTestOs::MappingExists(name));
    }
    GSB::StoreText(block, GSB::kVersionOffset, GSB::kVersionLength, GSB::kVersionText);
}

TEST(ShmBlock, TooSmallMappingIsRefusedWithBothSizes)
{
    const std::string name = ShmTestOs::UniqueName("small");
    const std::intptr_t raw = ShmTestOs::CreateRawMapping(name, 4096);
    ASSERT_NE(raw, -1);
    // Somebody holds it (as a simulator attached to it would), so nobody may repair it.
    const std::intptr_t held = ShmTestOs::HoldLockShared(name);
    for (bool openOnly : { false, true }) {
        KQ_P_0001_02_Shm shm(name.c_str(), openOnly);
        EXPECT_FALSE(shm.IsReady());
        EXPECT_FALSE(shm.VersionMismatch());
        EXPECT_FALSE(shm.CreatedBlock());
        const std::string text = shm.GetErrorText();
        EXPECT_EQ(text.rfind(std::string(kWhere) + "\n", 0), 0u) << text;
        EXPECT_NE(text.find("4096"), std::string::npos) << text;
        EXPECT_NE(text.find("132464"), std::string::npos) << text;
        EXPECT_NE(text.find(name), std::string::npos) << text;
    }
    // The foreign mapping is left as it was.
    EXPECT_TRUE(ShmTestOs::MappingExists(name));
    ShmTestOs::ReleaseLock(held);
    if (!ShmTestOs::LoneAttacherRepairs()) {
        // Windows: no lock object lingers beside it.
        EXPECT_FALSE(ShmTestOs::LockObjectExists(name));
    }
    ShmTestOs::DestroyRawMapping(name, raw);
}

TEST(ShmBlock, AttachGivesUpWhenTheAttachLockStaysHeld)
{
    const std::string name = ShmTestOs::UniqueName("held");
    // Another thread in the middle of its attach, stuck there.
    PlainMapping stuck(name, 64);
    std::atomic<int> stage { 0 };
    std::thread holder([&] {
        stage = stuck.LockAttach(BaseSharedMemory::kAttachWaitMs, false) ? 1 : -1;
        while (stage == 1) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        stuck.RemoveLockName();
        stuck.UnlockAttach();
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (stage == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(stage, 1) << stuck.GetErrorText();

    const auto start = std::chrono::steady_clock::now();
    {
        KQ_P_0001_02_Shm shm(name.c_str());
        const auto waited
            = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        EXPECT_FALSE(shm.IsReady());
        const std::string text = shm.GetErrorText();
        EXPECT_EQ(text.rfind(std::string(kWhere) + "\nThe lock ", 0), 0u) << text;
        EXPECT_NE(text.find("of the shared memory stayed held by another process for 2000 ms"), std::string::npos)
            << text;
        EXPECT_GE(waited, BaseSharedMemory::kAttachWaitMs - 20);
        EXPECT_LT(waited, BaseSharedMemory::kAttachWaitMs + 1000);
    }
    EXPECT_FALSE(ShmTestOs::MappingExists(name));
    stage = 2;
    holder.join();
}

TEST(ShmBlock, OpenOnlyWithoutBlockFailsWithTheSystemText)
{
    const std::string name = ShmTestOs::UniqueName("missing");
    KQ_P_0001_02_Shm shm(name.c_str(), true);
    EXPECT_FALSE(shm.IsReady());
    EXPECT_TRUE(shm.NameMissing());
    EXPECT_EQ(shm.GetBlock(), nullptr);
    EXPECT_EQ(std::string(shm.GetErrorText()), std::string(kWhere) + "\n" + SystemText(shm.LastErrorCode()));
    EXPECT_FALSE(SystemText(shm.LastErrorCode()).empty());
    // Nothing is created, not even the lock.
    EXPECT_FALSE(ShmTestOs::MappingExists(name));
    EXPECT_FALSE(ShmTestOs::LockObjectExists(name));
}

TEST(ShmBlock, DefaultNameComesFromTheEnvironment)
{
    ShmTestOs::UnsetEnvironment("TAVELIN_SHM_NAME");
    EXPECT_STREQ(KQ_P_0001_02_Shm::DefaultMappingName(), "GenericSimSharedMemory");
    ShmTestOs::SetEnvironment("TAVELIN_SHM_NAME", "");
    EXPECT_STREQ(KQ_P_0001_02_Shm::DefaultMappingName(), "GenericSimSharedMemory");

    const std::string name = ShmTestOs::UniqueName("env");
    ShmTestOs::SetEnvironment("TAVELIN_SHM_NAME", name.c_str());
    {
        KQ_P_0001_02_Shm shm;
        ASSERT_TRUE(shm.IsReady()) << shm.GetErrorText();
        EXPECT_EQ(std::string(shm.MappingName()), name);
        EXPECT_TRUE(ShmTestOs::MappingExists(name));
    }
    ShmTestOs::UnsetEnvironment("TAVELIN_SHM_NAME");
}

TEST(ShmBase, SystemCallFailuresAndZeroing)
{
    const std::string name = ShmTestOs::UniqueName("base");

    PlainMapping missing(name, 64);
    EXPECT_FALSE(missing.OpenAndMap());
    EXPECT_EQ(missing.GetBlock(), nullptr);
    EXPECT_EQ(
        std::string(missing.GetErrorText()), "OpenFileMapping (Code: " + std::to_string(missing.LastErrorCode()) + ")");
    EXPECT_NE(missing.LastErrorCode(), 0u);

    // Creation is exclusive: a second creator hears that the name is taken.
    PlainMapping creator(name, 8192);
    ASSERT_TRUE(creator.CreateAndMap()) << creator.GetErrorText();
    PlainMapping late(name, 8192);
    EXPECT_FALSE(late.CreateMapping(8192));
    EXPECT_TRUE(late.AlreadyExists());
    EXPECT_EQ(std::string(late.GetErrorText()).rfind("Creating Shared memory (Code: ", 0), 0u);
    // A later success leaves the earlier failure's text readable.
    ASSERT_TRUE(late.OpenAndMap()) << late.GetErrorText();
    EXPECT_EQ(std::string(late.GetErrorText()).rfind("Creating Shared memory (Code: ", 0), 0u);

    auto* bytes = static_cast<unsigned char*>(creator.GetBlock());
    std::memset(bytes, 0xAB, 8192);
    late.ZeroView(0);
    EXPECT_EQ(bytes[0], 0xAB);
    late.ZeroView(100);
    EXPECT_EQ(bytes[99], 0);
    EXPECT_EQ(bytes[100], 0xAB);

    late.UnmapAndClose();
    EXPECT_EQ(late.GetBlock(), nullptr);
    creator.UnmapAndClose();
    creator.RemoveName();
}
