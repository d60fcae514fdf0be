// A preload library for scripts/test-extras/cpu.sh: counts every malloc,
// calloc, realloc and aligned allocation of the process (Qt's own included,
// which a replaced operator new would not see). Each SIGUSR1 appends the
// count so far as one line to the file named by TAVELIN_MALLOC_COUNT_FILE.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* memory, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* memory);
}

namespace {

std::atomic<unsigned long> g_count { 0 };

void Count()
{
    g_count.fetch_add(1, std::memory_order_relaxed);
}

void Report(int)
{
    const int saved = errno;
    const char* path = std::getenv("TAVELIN_MALLOC_COUNT_FILE");
    if (path != nullptr) {
        char line[32];
        int at = static_cast<int>(sizeof line) - 1;
        line[at] = '\n';
        unsigned long value = g_count.load(std::memory_order_relaxed);
        do {
            line[--at] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0 && at > 0);
        const int file = open(path, O_WRONLY | O_APPEND | O_CREAT, 0600);
        if (file >= 0) {
            [[maybe_unused]] const ssize_t written = write(file, line + at, sizeof line - static_cast<std::size_t>(at));
            close(file);
        }
    }
    errno = saved;
}

struct Installer {
    Installer()
    {
        struct sigaction action = {};
        action.sa_handler = Report;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGUSR1, &action, nullptr);
    }
} g_installer;

} // namespace

extern "C" {

void* malloc(std::size_t size)
{
    Count();
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size)
{
    Count();
    return __libc_calloc(count, size);
}

void* realloc(void* memory, std::size_t size)
{
    Count();
    return __libc_realloc(memory, size);
}

void* memalign(std::size_t alignment, std::size_t size)
{
    Count();
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size)
{
    Count();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, std::size_t alignment, std::size_t size)
{
    Count();
    void* memory = __libc_memalign(alignment, size);
    if (memory == nullptr) {
        return ENOMEM;
    }
    *result = memory;
    return 0;
}

void free(void* memory)
{
    __libc_free(memory);
}

} // extern "C"
