// FakeEvdevKernel: answers libevdev's evdev ioctls for FIFOs and pipes that
// stand in for /dev/input/event nodes, so the real libevdev reads events a
// test writes. The test's ioctl replaces the C library's for this executable
// only; descriptors of anything else go to the real system call.
#pragma once

#include <linux/input.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>

class FakeEvdevNode {
public:
    // A node at `path` (a FIFO is made there); an empty path makes an anonymous pipe.
    explicit FakeEvdevNode(const std::string& path = "");
    ~FakeEvdevNode();
    FakeEvdevNode(const FakeEvdevNode&) = delete;
    FakeEvdevNode& operator=(const FakeEvdevNode&) = delete;

    FakeEvdevNode& Name(const std::string& name);
    FakeEvdevNode& Id(
        std::uint16_t vendor, std::uint16_t product, std::uint16_t bustype = BUS_USB, std::uint16_t version = 0x0111);
    FakeEvdevNode& Phys(const std::string& phys);
    // The device's own serial number (EVIOCGUNIQ); none by default.
    FakeEvdevNode& Uniq(const std::string& uniq);
    FakeEvdevNode& Axis(int code, int minimum, int maximum, int value = 0);
    FakeEvdevNode& Key(int code);
    FakeEvdevNode& Rel(int code);
    FakeEvdevNode& Prop(int property);

    // The read end of the anonymous pipe (only for nodes without a path).
    int ReadEnd() const { return m_readEnd; }

    // Writes one event and, as the kernel would, changes the device's state.
    void Send(int type, int code, int value);
    void Report() { Send(EV_SYN, SYN_REPORT, 0); }
    // Changes the state without an event: what the reader misses in an overflow.
    void ChangeQuietly(int type, int code, int value);

    // Unplugged: the node disappears and every reader's descriptor fails.
    void Unplug();
    // Plugged in again at the same path (a new FIFO, the same device).
    void Replug();

    // The kernel side of one ioctl; false when the request is not an evdev one.
    bool Answer(unsigned long request, void* argument, int& result);

private:
    void MakeChannel();
    void Register();
    void Unregister();

    std::string m_path;
    int m_readEnd = -1;
    int m_writeEnd = -1;
    std::uint64_t m_device = 0;
    std::uint64_t m_inode = 0;
    std::string m_name = "Fake Joystick";
    std::string m_phys = "usb-0000:00:14.0-1/input0";
    std::string m_uniq;
    input_id m_id { BUS_USB, 0x044F, 0x0402, 0x0111 };
    std::set<int> m_types { EV_SYN };
    std::map<int, input_absinfo> m_abs;
    std::set<int> m_keys;
    std::set<int> m_keysDown;
    std::set<int> m_rels;
    std::set<int> m_props;
};
