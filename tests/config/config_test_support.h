// Test helpers for the configuration files: a fresh folder per test and
// whole-file reads and writes of exact bytes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace ConfigTest {

// A folder of its own under the system's temporary folder, removed afterwards.
class TemporaryFolder {
public:
    TemporaryFolder()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string leaf = "tavelin_cfg_";
        leaf += info != nullptr ? std::string(info->test_suite_name()) + "_" + info->name() : "x";
        for (char& c : leaf) {
            if (c == '/') {
                c = '_';
            }
        }
        m_path = std::filesystem::temp_directory_path() / leaf;
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~TemporaryFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    std::string File(const std::string& name) const { return (m_path / name).string(); }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// `text` with every "\n" turned into `lineEnd`.
inline std::string WithLineEnds(const std::string& text, const std::string& lineEnd)
{
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += lineEnd;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace ConfigTest
