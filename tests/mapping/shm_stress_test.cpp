// Several processes attaching and detaching at once. The children are this
// test executable again, running only ShmStress.Worker with the block name in
// the environment.
#include "mapping/GenericSimBlock.h"
#include "mapping/KQ_P_0001_02_Shm.h"
#include "tests/support/os_helpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace GSB = GenericSimBlock;

namespace {

constexpr int kWorkers = 4;
constexpr int kRounds = 2000;

int EnvironmentNumber(const char* name, int fallback)
{
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::atoi(text) : fallback;
}

// Starts the workers together and collects their exit statuses and complaints.
void RunWorkers(const std::string& name, int minimumCount)
{
    ShmTestOs::SetEnvironment("TAVELIN_STRESS_NAME", name.c_str());
    ShmTestOs::SetEnvironment("TAVELIN_STRESS_ROUNDS", std::to_string(kRounds).c_str());
    ShmTestOs::SetEnvironment("TAVELIN_STRESS_MIN_COUNT", std::to_string(minimumCount).c_str());
    // This process read its own report file name at start; the workers must not overwrite that report.
    ShmTestOs::UnsetEnvironment("GTEST_OUTPUT");
    std::vector<ShmTestOs::RunningProgram> workers;
    for (int i = 0; i < kWorkers; ++i) {
        workers.push_back(ShmTestOs::StartProgram(ShmTestOs::SelfExecutable(), { "--gtest_filter=ShmStress.Worker" }));
        ASSERT_NE(workers.back().handle, -1) << "could not start " << ShmTestOs::SelfExecutable();
    }
    for (auto& worker : workers) {
        const int status = ShmTestOs::WaitProgram(worker);
        const std::string output = ShmTestOs::ReadWholeFile(worker.outFile) + ShmTestOs::ReadWholeFile(worker.errFile);
        EXPECT_EQ(status, 0) << output;
        // A worker that skipped did not run at all.
        EXPECT_EQ(output.find("SKIPPED"), std::string::npos) << output;
        EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
        std::remove(worker.outFile.c_str());
        std::remove(worker.errFile.c_str());
    }
    ShmTestOs::UnsetEnvironment("TAVELIN_STRESS_NAME");
}

} // namespace

// Only does something as a child of the tests below.
TEST(ShmStress, Worker)
{
    const char* name = std::getenv("TAVELIN_STRESS_NAME");
    if (name == nullptr || *name == '\0') {
        GTEST_SKIP() << "runs only as a child of the stress tests";
    }
    const int rounds = EnvironmentNumber("TAVELIN_STRESS_ROUNDS", kRounds);
    const int minimumCount = EnvironmentNumber("TAVELIN_STRESS_MIN_COUNT", 1);
    char version[GSB::kVersionLength + 1];
    for (int round = 0; round < rounds; ++round) {
        KQ_P_0001_02_Shm shm(name);
        ASSERT_TRUE(shm.IsReady()) << "round " << round << ": " << shm.GetErrorText();
        const void* block = shm.GetBlock();
        // Never a zero or half-written block: the version and the creator's addresses are there.
        GSB::LoadText(block, GSB::kVersionOffset, GSB::kVersionLength, version, sizeof version);
        ASSERT_STREQ(version, GSB::kVersionText) << "round " << round;
        ASSERT_NE(GSB::Load<std::uint32_t>(block, GSB::kSectionAddressOffset + 4), 0u) << "round " << round;
        ASSERT_GE(GSB::LoadUserCount(block), minimumCount) << "round " << round;
    }
}

TEST(ShmStress, ManyProcessesWhileOneHoldsTheBlock)
{
    const std::string name = ShmTestOs::UniqueName("stress_held");
    KQ_P_0001_02_Shm holder(name.c_str());
    ASSERT_TRUE(holder.IsReady()) << holder.GetErrorText();
    // The holder and the worker itself.
    RunWorkers(name, 2);
    EXPECT_EQ(GSB::LoadUserCount(holder.GetBlock()), 1);
}

TEST(ShmStress, ManyProcessesCreatingAndReleasingTheBlock)
{
    const std::string name = ShmTestOs::UniqueName("stress_free");
    // Nobody holds it: the block is created and released over and over.
    RunWorkers(name, 1);
    if (ShmTestOs::LastDetachRemovesName()) {
        EXPECT_FALSE(ShmTestOs::MappingExists(name));
        EXPECT_FALSE(ShmTestOs::LockObjectExists(name));
    } else {
        // Every worker has ended, and with them every handle.
        EXPECT_FALSE(ShmTestOs::MappingExists(name));
    }
}
