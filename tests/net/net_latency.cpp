// The latency figure's receiving end: a receiver on a block of its own that
// times every sample from the sender's block write (its tick time) to its
// own block write. Only meaningful on one machine (network namespaces share
// the clock). Prints "median M ms, p99 P ms over N samples" after N samples.
//   net_latency --name NAME --samples N [--net-keys DIR] [--net-...]
#include "mapping/KQ_P_0001_02_Shm.h"
#include "net/NetworkReceiver.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::string name = "TavelinLatency";
    long wanted = 5000;
    NetworkOverrides overrides;
    for (int i = 1; i < argc; ++i) {
        std::string problem;
        const std::string word = argv[i];
        if (word == "--name" && i + 1 < argc) {
            name = argv[++i];
        } else if (word == "--samples" && i + 1 < argc) {
            wanted = std::strtol(argv[++i], nullptr, 10);
        } else if (TakeNetworkOption(argc, argv, i, overrides, problem) != NetworkOption::Taken) {
            std::fprintf(stderr, "net_latency: bad option %s %s\n", argv[i], problem.c_str());
            return 64;
        }
    }
    KQ_P_0001_02_Shm shm(name.c_str(), false);
    if (!shm.IsReady()) {
        std::fprintf(stderr, "net_latency: %s\n", shm.FullErrorText().c_str());
        return 1;
    }
    std::mutex mutex;
    std::vector<double> latencies;
    latencies.reserve(static_cast<std::size_t>(wanted));
    NetworkReceiver receiver(shm.GetBlock());
    receiver.SetWriteObserver([&](const ControlsMessage& message, std::int64_t writtenAt) {
        std::lock_guard<std::mutex> lock(mutex);
        if (static_cast<long>(latencies.size()) < wanted) {
            latencies.push_back(static_cast<double>(writtenAt - message.tickTime) / 1e6);
        }
    });
    NetworkSettings settings;
    settings.enabled = true;
    overrides.ApplyTo(settings);
    if (!receiver.Start(settings)) {
        std::fprintf(stderr, "net_latency: %s\n", receiver.FullErrorText().c_str());
        return 3;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30 + wanted / 100);
    for (;;) {
        receiver.WaitForActivity(std::chrono::milliseconds(10));
        receiver.Step();
        std::lock_guard<std::mutex> lock(mutex);
        if (static_cast<long>(latencies.size()) >= wanted || std::chrono::steady_clock::now() > deadline) {
            break;
        }
    }
    receiver.Stop();
    std::vector<double> sorted = latencies;
    if (sorted.empty()) {
        std::fprintf(stderr, "net_latency: no sample arrived\n");
        return 1;
    }
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[sorted.size() / 2];
    const double p99 = sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)];
    std::printf("median %.3f ms, p99 %.3f ms over %zu samples\n", median, p99, sorted.size());
    return static_cast<long>(sorted.size()) >= wanted ? 0 : 1;
}
