// The program as a process for the end-to-end tests: tavelin (or another
// program) started offscreen with its output in a log, and the block it
// publishes read by the test as a second attacher.
#pragma once

#include "mapping/GenericSimBlock.h"
#include "mapping/KQ_P_0001_02_Shm.h"
#include "tests/support/poll.h"
#include "tests/support/test_files.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace e2e {

namespace block = GenericSimBlock;
using Clock = std::chrono::steady_clock;

// Polls `done` every few milliseconds until it holds or the deadline passes.
inline bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    return testpoll::Until(done, timeout, std::chrono::milliseconds(5));
}

class Program {
public:
    // Runs in the new process before the program: "" or why the program cannot run there.
    using Prepare = std::function<std::string()>;

    // `locale`: the program's LC_ALL, when given. `words`: another program
    // and its arguments instead of tavelin.
    explicit Program(const std::filesystem::path& log, const char* locale = nullptr, const Prepare& prepare = {},
        const std::vector<std::string>& words = {})
    {
        int said[2] = { -1, -1 };
        if (prepare && pipe2(said, O_CLOEXEC) != 0) {
            return;
        }
        m_pid = fork();
        if (m_pid == 0) {
            const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out >= 0) {
                dup2(out, STDOUT_FILENO);
                dup2(out, STDERR_FILENO);
            }
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            if (locale != nullptr) {
                setenv("LC_ALL", locale, 1);
            }
            if (prepare) {
                const std::string why = prepare();
                [[maybe_unused]] const ssize_t written = write(said[1], why.data(), why.size());
                if (!why.empty()) {
                    _exit(126);
                }
                close(said[1]);
            }
            if (words.empty()) {
                execl(TAVELIN_PROGRAM_PATH, "tavelin", static_cast<char*>(nullptr));
            } else {
                std::vector<char*> argv;
                for (const std::string& word : words) {
                    argv.push_back(const_cast<char*>(word.c_str()));
                }
                argv.push_back(nullptr);
                execv(argv[0], argv.data());
            }
            _exit(127);
        }
        if (prepare) {
            close(said[1]);
            char buffer[512];
            for (ssize_t got; (got = read(said[0], buffer, sizeof buffer)) > 0;) {
                m_notPrepared.append(buffer, static_cast<std::size_t>(got));
            }
            close(said[0]);
        }
    }
    // Why the preparation failed (the program did not start), or "".
    const std::string& NotPrepared() const { return m_notPrepared; }
    ~Program()
    {
        if (m_pid > 0 && !m_status) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return m_pid > 0; }
    void Signal(int signal) const { kill(m_pid, signal); }
    bool Running()
    {
        Reap();
        return !m_status.has_value();
    }
    // The exit status once it has ended within the timeout.
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        WaitFor([this] { return Reap(); }, timeout);
        return m_status;
    }

private:
    bool Reap()
    {
        if (m_status) {
            return true;
        }
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_status = status;
            return true;
        }
        return false;
    }

    pid_t m_pid = -1;
    std::optional<int> m_status;
    std::string m_notPrepared;
};

inline bool Near(double a, double b)
{
    return std::fabs(a - b) < 1e-6;
}

inline std::filesystem::path ShmPath(const std::string& name)
{
    return std::filesystem::path("/dev/shm") / name;
}

inline std::string ReadLog(const std::filesystem::path& log)
{
    std::ifstream in(log);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The block, once the program has made it and stored its first outputs.
inline std::unique_ptr<testfiles::BlockReader> AttachWhenReady(const std::string& name, Program& program)
{
    std::unique_ptr<testfiles::BlockReader> reader;
    WaitFor([&] {
        if (!program.Running()) {
            return true;
        }
        reader = std::make_unique<testfiles::BlockReader>(name);
        return reader->Ready() && block::LoadUserCount(reader->Block()) >= 3;
    });
    return reader != nullptr && reader->Ready() ? std::move(reader) : nullptr;
}

} // namespace e2e
