// The native half of the Wine bridge. The caller holds an attachment of the
// block, and with it the lock object's shared hold: no Tavelin that ends while
// the bridge runs is the block's last holder, so none removes the name, and a
// Tavelin started again finds the very block the Wine side still maps.
// - The Windows half runs under wine in its own process group, so a Ctrl-C at
//   the terminal reaches only this half, which then stops the other through
//   its named event (a second, short-lived simblock.exe wine-bridge --stop).
// - The Windows half's lines pass through to standard error; its ready line
//   is answered with this half's own, on standard output.
// - The Windows half's standard input is a pipe held here: killed, this half
//   closes it, and the Windows half ends instead of bridging with nobody
//   holding the block natively.
// - A Windows half that ends for another reason than those it names (a crash,
//   a Wine server that went away) is started again while the native object is
//   still the one attached; it gives up after a few starts in a row that
//   never got ready. One that ends with 0 (told to stop) before it ever said
//   it was ready never ran as the bridge: a failure, not a stop.
// - Once a second it checks that /dev/shm/<name> still leads to the block
//   attached, and ends when it does not: the Wine side maps the old pages.
#include "support/WineBridge.h"

#include "support/CloseRequest.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace WineBridge {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPollMs = 100;
constexpr int kCheckMs = 1000;
constexpr int kStopWaitMs = 10000;
constexpr int kRestartPauseMs = 1000;
constexpr int kStartsWithoutReady = 5;

int Say(int code, const std::string& reason)
{
    std::fprintf(stderr, "simblock wine-bridge: %s\n", reason.c_str());
    std::fflush(stderr);
    return code;
}

bool Executable(const std::string& path)
{
    struct stat status { };
    return !path.empty() && stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::string ThisProgramsFolder()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return {};
    }
    std::string folder(path, static_cast<std::size_t>(length));
    const std::size_t slash = folder.rfind('/');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

struct NativeIdentity {
    dev_t device = 0;
    ino_t inode = 0;
};

bool Identify(const std::string& name, NativeIdentity& identity)
{
    struct stat status { };
    if (stat(("/dev/shm/" + name).c_str(), &status) != 0) {
        return false;
    }
    identity.device = status.st_dev;
    identity.inode = status.st_ino;
    return true;
}

// The native object is still the one this process attached.
bool NativeBlockLives(const std::string& name, const NativeIdentity& attached)
{
    NativeIdentity now;
    return Identify(name, now) && now.device == attached.device && now.inode == attached.inode;
}

// A wine process of the prefix, its standard output and error on one pipe
// (or on /dev/null when `output` is null). With `lifeline`, its standard
// input is a pipe whose other end stays here (closed on exec for every other child).
pid_t StartWine(const NativeOptions& options, const std::vector<std::string>& words, int* output, int* lifeline)
{
    int pipeEnds[2] = { -1, -1 };
    if (output != nullptr && pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return -1;
    }
    int lifelineEnds[2] = { -1, -1 };
    if (lifeline != nullptr && pipe2(lifelineEnds, O_CLOEXEC) != 0) {
        if (output != nullptr) {
            close(pipeEnds[0]);
            close(pipeEnds[1]);
        }
        return -1;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        std::signal(SIGPIPE, SIG_DFL);
        const int target = output != nullptr ? pipeEnds[1] : open("/dev/null", O_WRONLY);
        if (target >= 0) {
            dup2(target, STDOUT_FILENO);
            dup2(target, STDERR_FILENO);
        }
        const int input = lifeline != nullptr ? lifelineEnds[0] : open("/dev/null", O_RDONLY);
        if (input >= 0) {
            dup2(input, STDIN_FILENO);
        }
        setenv("WINEPREFIX", options.prefix.c_str(), 1);
        if (lifeline != nullptr) {
            setenv(kLifelineVariable, "1", 1);
        }
        setenv(kUnixPidVariable, std::to_string(getpid()).c_str(), 1);
        if (std::getenv("WINEDEBUG") == nullptr) {
            setenv("WINEDEBUG", "-all", 1);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>("wine"));
        argv.push_back(const_cast<char*>(options.exe.c_str()));
        argv.push_back(const_cast<char*>("--name"));
        argv.push_back(const_cast<char*>(options.name.c_str()));
        for (const std::string& word : words) {
            argv.push_back(const_cast<char*>(word.c_str()));
        }
        argv.push_back(nullptr);
        execvp("wine", argv.data());
        std::fprintf(stderr, "simblock wine-bridge: cannot run wine: %s\n", std::strerror(errno));
        _exit(127);
    }
    if (lifeline != nullptr) {
        close(lifelineEnds[0]);
        if (pid < 0) {
            close(lifelineEnds[1]);
        } else {
            *lifeline = lifelineEnds[1];
        }
    }
    if (output != nullptr) {
        close(pipeEnds[1]);
        if (pid < 0) {
            close(pipeEnds[0]);
        } else {
            *output = pipeEnds[0];
            fcntl(*output, F_SETFL, fcntl(*output, F_GETFL) | O_NONBLOCK);
        }
    }
    return pid;
}

// Waits for `pid` until the deadline; its wait status, or -1.
int WaitUntil(pid_t pid, Clock::time_point deadline)
{
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return status;
        }
        if (done < 0 && errno != EINTR) {
            return -1;
        }
        if (Clock::now() >= deadline) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// The running Windows half and what it has said so far.
class WindowsHalf {
public:
    explicit WindowsHalf(const NativeOptions& options)
        : m_options(options)
    {
    }
    ~WindowsHalf() { Stop(); }
    WindowsHalf(const WindowsHalf&) = delete;
    WindowsHalf& operator=(const WindowsHalf&) = delete;

    bool Start()
    {
        m_ready = false;
        m_pending.clear();
        m_pid = StartWine(m_options, { "wine-bridge" }, &m_output, &m_lifeline);
        return m_pid > 0;
    }
    bool Running() const { return m_pid > 0; }
    bool Ready() const { return m_ready; }
    int Output() const { return m_output; }

    // Passes its lines on; true when it has just said that it is ready.
    bool ReadLines()
    {
        bool becameReady = false;
        char buffer[1024];
        for (;;) {
            const ssize_t got = read(m_output, buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            m_pending.append(buffer, static_cast<std::size_t>(got));
        }
        for (std::size_t end; (end = m_pending.find('\n')) != std::string::npos;) {
            std::string line = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (line.rfind(kReadyWord, 0) == 0) {
                m_ready = becameReady = true;
                continue;
            }
            std::fprintf(stderr, "%s\n", line.c_str());
        }
        std::fflush(stderr);
        return becameReady;
    }

    // Its exit status once it has ended, else -1.
    int Ended()
    {
        int status = 0;
        if (m_pid <= 0 || waitpid(m_pid, &status, WNOHANG) != m_pid) {
            return -1;
        }
        Forget();
        return status;
    }

    // Through its named event first; signals only for one that does not answer.
    void Stop()
    {
        if (m_pid <= 0) {
            return;
        }
        const pid_t teller = StartWine(m_options, { "wine-bridge", "--stop" }, nullptr, nullptr);
        const auto deadline = Clock::now() + std::chrono::milliseconds(kStopWaitMs);
        if (teller > 0 && WaitUntil(teller, deadline) < 0) {
            kill(teller, SIGKILL);
            waitpid(teller, nullptr, 0);
        }
        // A half that had not made its event yet ends on its lifeline instead.
        if (m_lifeline >= 0) {
            close(m_lifeline);
            m_lifeline = -1;
        }
        int status = WaitUntil(m_pid, deadline);
        if (status < 0) {
            kill(m_pid, SIGTERM);
            status = WaitUntil(m_pid, Clock::now() + std::chrono::seconds(2));
        }
        if (status < 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        ReadLines();
        Forget();
    }

private:
    void Forget()
    {
        ReadLines();
        if (m_output >= 0) {
            close(m_output);
            m_output = -1;
        }
        if (m_lifeline >= 0) {
            close(m_lifeline);
            m_lifeline = -1;
        }
        m_pid = -1;
    }

    const NativeOptions& m_options;
    pid_t m_pid = -1;
    int m_output = -1;
    int m_lifeline = -1;
    bool m_ready = false;
    std::string m_pending;
};

} // namespace

std::string FindWindowsHalf()
{
    const std::string folder = ThisProgramsFolder();
    if (folder.empty()) {
        return {};
    }
    const std::string beside = folder + "/simblock.exe";
    if (Executable(beside)) {
        return beside;
    }
    const std::string inBuild = "/tools/simblock";
    if (folder.size() > inBuild.size()
        && folder.compare(folder.size() - inBuild.size(), inBuild.size(), inBuild) == 0) {
        const std::string buildFolder = folder.substr(0, folder.size() - inBuild.size());
        const std::size_t slash = buildFolder.rfind('/');
        if (slash != std::string::npos) {
            const std::string winTree = buildFolder.substr(0, slash) + "/win/tools/simblock/simblock.exe";
            if (Executable(winTree)) {
                return winTree;
            }
        }
    }
    return {};
}

int RunNativeHalf(const NativeOptions& given)
{
    NativeOptions options = given;
    if (options.exe.empty()) {
        options.exe = FindWindowsHalf();
        if (options.exe.empty()) {
            return Say(kFailed, "no simblock.exe beside this program or in the Windows build; name it with --exe PATH");
        }
    } else if (!Executable(options.exe)) {
        return Say(kFailed, "no Windows simblock.exe at " + options.exe);
    }
    struct stat prefix { };
    if (stat(options.prefix.c_str(), &prefix) != 0 || !S_ISDIR(prefix.st_mode)) {
        return Say(kFailed, "the Wine prefix " + options.prefix + " is not a folder");
    }
    // wine would make a new prefix there, and the simulator would never see the bridge.
    if (stat((options.prefix + "/system.reg").c_str(), &prefix) != 0) {
        return Say(kFailed, options.prefix + " is not a Wine prefix (it has no system.reg)");
    }
    NativeIdentity attached;
    if (!Identify(options.name, attached)) {
        return Say(kFailed, "the attached block has no /dev/shm/" + options.name);
    }

    WindowsHalf half(options);
    int startsWithoutReady = 0;
    while (!CloseRequest::Noted()) {
        if (!half.Start()) {
            return Say(kFailed, std::string("cannot start wine: ") + std::strerror(errno));
        }
        int status = -1;
        auto nextCheck = Clock::now() + std::chrono::milliseconds(kCheckMs);
        while (status < 0 && !CloseRequest::Noted()) {
            pollfd watched { half.Output(), POLLIN, 0 };
            poll(&watched, 1, kPollMs);
            if (half.ReadLines()) {
                startsWithoutReady = 0;
                std::printf("simblock wine-bridge: \"%s\" is /dev/shm/%s in the Wine prefix %s\n", options.name.c_str(),
                    options.name.c_str(), options.prefix.c_str());
                std::fflush(stdout);
            }
            status = half.Ended();
            // The Windows half watches the object's links too, but a name that
            // leads to another block (Tavelin made it again) is seen here only.
            if (status < 0 && Clock::now() >= nextCheck) {
                nextCheck = Clock::now() + std::chrono::milliseconds(kCheckMs);
                if (!NativeBlockLives(options.name, attached)) {
                    NativeIdentity now;
                    const bool replaced = Identify(options.name, now);
                    half.Stop();
                    return Say(kNativeRemoved,
                        "/dev/shm/" + options.name + (replaced ? " leads to another block now" : " was removed")
                            + ": the block bridged is gone (restart the simulator after Tavelin)");
                }
            }
        }
        if (status < 0) {
            break; // asked to close
        }
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        switch (code) {
        case kStopped:
            if (!half.Ready()) {
                // Only a stop ends a bridge with 0, and nothing was ever bridged to stop.
                return Say(kFailed,
                    "the Windows half " + options.exe + " ended with status 0 before it bridged \"" + options.name
                        + "\": it never ran as the bridge (is it the Windows simblock.exe?)");
            }
            return Say(kStopped, "the Windows half was told to stop");
        case kForeignMapping:
            return Say(kForeignMapping,
                "refused: a Win32 mapping \"" + options.name + "\" exists in " + options.prefix
                    + " and is not /dev/shm/" + options.name + "; end the simulator, then start the bridge before it");
        case kAnotherBridge:
            return Say(kAnotherBridge, "refused: another bridge of \"" + options.name + "\" runs in " + options.prefix);
        default:
            break;
        }
        if (!NativeBlockLives(options.name, attached)) {
            return Say(kNativeRemoved, "/dev/shm/" + options.name + " is not the block attached any more; ending");
        }
        if (++startsWithoutReady >= kStartsWithoutReady) {
            return Say(kFailed,
                "the Windows half ended " + std::to_string(kStartsWithoutReady)
                    + " times in a row without bridging; giving up");
        }
        Say(0,
            "the Windows half ended (" + (code >= 0 ? "exit " + std::to_string(code) : std::string("killed"))
                + "); starting it again");
        const auto resume = Clock::now() + std::chrono::milliseconds(kRestartPauseMs);
        while (Clock::now() < resume && !CloseRequest::Noted()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    half.Stop();
    return Say(kStopped, "stopped");
}

} // namespace WineBridge
