// The fake evdev kernel: an ioctl of our own that serves FakeEvdevNode's
// answers for their FIFOs and pipes and passes everything else through.
#include "tests/platform/posix/fake_evdev_kernel.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

std::map<std::pair<std::uint64_t, std::uint64_t>, FakeEvdevNode*>& Nodes()
{
    static std::map<std::pair<std::uint64_t, std::uint64_t>, FakeEvdevNode*> nodes;
    return nodes;
}

void SetBit(void* bits, std::size_t size, int bit)
{
    if (bit >= 0 && static_cast<std::size_t>(bit / 8) < size) {
        static_cast<unsigned char*>(bits)[bit / 8] |= static_cast<unsigned char>(1u << (bit % 8));
    }
}

int CopyText(const std::string& text, void* argument, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::size_t length = std::min(text.size() + 1, size);
    std::memcpy(argument, text.c_str(), length);
    static_cast<char*>(argument)[length - 1] = '\0';
    return static_cast<int>(length);
}

} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    struct stat status { };
    if (fstat(fd, &status) == 0 && S_ISFIFO(status.st_mode)) {
        const auto found
            = Nodes().find({ static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino) });
        if (found != Nodes().end()) {
            int result = 0;
            if (found->second->Answer(request, argument, result)) {
                return result;
            }
            errno = EINVAL;
            return -1;
        }
    }
    return static_cast<int>(syscall(SYS_ioctl, fd, request, argument));
}

FakeEvdevNode::FakeEvdevNode(const std::string& path)
    : m_path(path)
{
    MakeChannel();
}

FakeEvdevNode::~FakeEvdevNode()
{
    Unregister();
    if (m_readEnd >= 0) {
        close(m_readEnd);
    }
    if (m_writeEnd >= 0) {
        close(m_writeEnd);
    }
    if (!m_path.empty()) {
        unlink(m_path.c_str());
    }
}

void FakeEvdevNode::MakeChannel()
{
    if (m_path.empty()) {
        int ends[2];
        if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe2 failed");
        }
        m_readEnd = ends[0];
        m_writeEnd = ends[1];
    } else {
        unlink(m_path.c_str());
        if (mkfifo(m_path.c_str(), 0600) != 0) {
            throw std::runtime_error("mkfifo failed: " + m_path);
        }
        // Read-write: the FIFO keeps its data while no reader has it open.
        m_writeEnd = open(m_path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (m_writeEnd < 0) {
            throw std::runtime_error("cannot open " + m_path);
        }
    }
    Register();
}

void FakeEvdevNode::Register()
{
    struct stat status { };
    fstat(m_writeEnd, &status);
    m_device = static_cast<std::uint64_t>(status.st_dev);
    m_inode = static_cast<std::uint64_t>(status.st_ino);
    Nodes()[{ m_device, m_inode }] = this;
}

void FakeEvdevNode::Unregister()
{
    Nodes().erase({ m_device, m_inode });
}

FakeEvdevNode& FakeEvdevNode::Name(const std::string& name)
{
    m_name = name;
    return *this;
}

FakeEvdevNode& FakeEvdevNode::Id(
    std::uint16_t vendor, std::uint16_t product, std::uint16_t bustype, std::uint16_t version)
{
    m_id = input_id { bustype, vendor, product, version };
    return *this;
}

FakeEvdevNode& FakeEvdevNode::Phys(const std::string& phys)
{
    m_phys = phys;
    return *this;
}

FakeEvdevNode& FakeEvdevNode::Uniq(const std::string& uniq)
{
    m_uniq = uniq;
    return *this;
}

FakeEvdevNode& FakeEvdevNode::Axis(int code, int minimum, int maximum, int value)
{
    m_types.insert(EV_ABS);
    input_absinfo info {};
    info.minimum = minimum;
    info.maximum = maximum;
    info.value = value;
    m_abs[code] = info;
    return *this;
}

FakeEvdevNode& FakeEvdevNode::Key(int code)
{
    m_types.insert(EV_KEY);
    m_keys.insert(code);
    return *this;
}

FakeEvdevNode& FakeEvdevNode::Rel(int code)
{
    m_types.insert(EV_REL);
    m_rels.insert(code);
    return *this;
}

FakeEvdevNode& FakeEvdevNode::Prop(int property)
{
    m_props.insert(property);
    return *this;
}

void FakeEvdevNode::ChangeQuietly(int type, int code, int value)
{
    if (type == EV_ABS && m_abs.count(code) != 0) {
        m_abs[code].value = value;
    } else if (type == EV_KEY) {
        if (value != 0) {
            m_keysDown.insert(code);
        } else {
            m_keysDown.erase(code);
        }
    }
}

void FakeEvdevNode::Send(int type, int code, int value)
{
    ChangeQuietly(type, code, value);
    input_event event {};
    event.type = static_cast<std::uint16_t>(type);
    event.code = static_cast<std::uint16_t>(code);
    event.value = value;
    if (write(m_writeEnd, &event, sizeof(event)) != static_cast<ssize_t>(sizeof(event))) {
        throw std::runtime_error("event write failed");
    }
}

void FakeEvdevNode::Unplug()
{
    Unregister();
    if (!m_path.empty()) {
        unlink(m_path.c_str());
    }
    // Every other descriptor of this FIFO now refers to a directory: its reads fail.
    const int directory = open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (DIR* descriptors = opendir("/proc/self/fd")) {
        const int listing = dirfd(descriptors);
        while (const dirent* entry = readdir(descriptors)) {
            const int fd = std::atoi(entry->d_name);
            if (entry->d_name[0] == '.' || fd == listing || fd == directory || fd == m_writeEnd) {
                continue;
            }
            struct stat status { };
            if (fstat(fd, &status) == 0 && static_cast<std::uint64_t>(status.st_ino) == m_inode
                && static_cast<std::uint64_t>(status.st_dev) == m_device) {
                dup2(directory, fd);
            }
        }
        closedir(descriptors);
    }
    close(directory);
    close(m_writeEnd);
    m_writeEnd = -1;
}

void FakeEvdevNode::Replug()
{
    if (m_readEnd >= 0) {
        close(m_readEnd);
        m_readEnd = -1;
    }
    MakeChannel();
}

bool FakeEvdevNode::Answer(unsigned long request, void* argument, int& result)
{
    if (_IOC_TYPE(request) != 'E') {
        return false;
    }
    const unsigned number = _IOC_NR(request);
    const std::size_t size = _IOC_SIZE(request);
    const bool reading = (_IOC_DIR(request) & _IOC_READ) != 0;
    result = 0;
    if (!reading) {
        // Grabs, clock ids, writes of absinfo: accepted and ignored.
        return true;
    }
    if (number == 0x01) {
        const int version = EV_VERSION;
        std::memcpy(argument, &version, sizeof(version));
        return true;
    }
    if (number == 0x02) {
        std::memcpy(argument, &m_id, sizeof(m_id));
        return true;
    }
    if (number == 0x06) {
        result = CopyText(m_name, argument, size);
        return true;
    }
    if (number == 0x07) {
        result = CopyText(m_phys, argument, size);
        return true;
    }
    if (number == 0x08) {
        result = CopyText(m_uniq, argument, size);
        return true;
    }
    if (number == 0x09) {
        std::memset(argument, 0, size);
        for (const int property : m_props) {
            SetBit(argument, size, property);
        }
        result = static_cast<int>(size);
        return true;
    }
    if (number == 0x19 || number == 0x1a || number == 0x1b) {
        std::memset(argument, 0, size); // no LEDs, sounds or switches
        result = static_cast<int>(size);
        return true;
    }
    if (number == 0x18) {
        std::memset(argument, 0, size);
        for (const int key : m_keysDown) {
            SetBit(argument, size, key);
        }
        result = static_cast<int>(size);
        return true;
    }
    if (number >= 0x20 && number < 0x20 + EV_CNT) {
        std::memset(argument, 0, size);
        const int type = static_cast<int>(number - 0x20);
        if (type == 0) {
            for (const int present : m_types) {
                SetBit(argument, size, present);
            }
        } else if (type == EV_ABS) {
            for (const auto& axis : m_abs) {
                SetBit(argument, size, axis.first);
            }
        } else if (type == EV_KEY) {
            for (const int key : m_keys) {
                SetBit(argument, size, key);
            }
        } else if (type == EV_REL) {
            for (const int rel : m_rels) {
                SetBit(argument, size, rel);
            }
        }
        result = static_cast<int>(size);
        return true;
    }
    if (number >= 0x40 && number < 0x40 + ABS_CNT) {
        const auto axis = m_abs.find(static_cast<int>(number - 0x40));
        if (axis == m_abs.end()) {
            input_absinfo none {};
            std::memcpy(argument, &none, std::min(size, sizeof(none)));
        } else {
            std::memcpy(argument, &axis->second, std::min(size, sizeof(input_absinfo)));
        }
        return true;
    }
    return false;
}
