// Waiting without sleeping blindly: a test polls what it waits for and gives
// up at a deadline. Each suite chooses its own patience and polling step.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace testpoll {

// Polls `done` every `step` until it holds (true) or `timeout` has passed (false).
inline bool Until(const std::function<bool()>& done, std::chrono::milliseconds timeout, std::chrono::milliseconds step)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(step);
    }
    return true;
}

} // namespace testpoll
