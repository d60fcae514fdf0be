// A locale whose decimal separator is a comma, made the process's C locale
// for the lifetime of the object, as Qt does from LANG=de_DE.UTF-8. On Linux,
// when the system has no de_DE.UTF-8, it is built with localedef into a
// folder under the temporary folder and found through LOCPATH. Windows (and
// Wine) take "German_Germany.1252". Active() says whether the switch worked;
// Reason() says why not, for GTEST_SKIP.
#pragma once

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace testlocale {

class CommaLocale {
public:
    CommaLocale()
    {
        const char* old = std::setlocale(LC_ALL, nullptr);
        m_old = old != nullptr ? old : "C";
#if defined(_WIN32)
        m_active = std::setlocale(LC_ALL, "German_Germany.1252") != nullptr;
#else
        m_active = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
        if (!m_active && BuildLocale()) {
            m_active = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
        }
#endif
        if (m_active) {
            const std::lconv* conventions = std::localeconv();
            m_active = conventions != nullptr && conventions->decimal_point != nullptr
                && std::string(conventions->decimal_point) == ",";
            if (!m_active) {
                m_reason = "the German locale does not write a decimal comma";
            }
        } else if (m_reason.empty()) {
            m_reason = "no German locale could be made active";
        }
    }
    ~CommaLocale()
    {
        std::setlocale(LC_ALL, m_old.c_str());
    }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    bool Active() const
    {
        return m_active;
    }
    const std::string& Reason() const
    {
        return m_reason;
    }

private:
#if !defined(_WIN32)
    // Builds de_DE.UTF-8 once per user into a shared folder: each process
    // builds into its own folder and renames it into place, so parallel
    // tests never see a half-made locale.
    bool BuildLocale()
    {
        namespace fs = std::filesystem;
        std::error_code error;
        const fs::path root = fs::temp_directory_path(error) / ("tavelin-locales-" + std::to_string(getuid()));
        const fs::path ready = root / "ready";
        if (!fs::exists(ready / "de_DE.UTF-8" / "LC_NUMERIC", error)) {
            fs::create_directories(root, error);
            const fs::path mine = root / ("building-" + std::to_string(getpid()));
            fs::remove_all(mine, error);
            fs::create_directories(mine, error);
            const std::string command
                = "localedef -i de_DE -f UTF-8 '" + (mine / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
            const int status = std::system(command.c_str());
            if (!fs::exists(mine / "de_DE.UTF-8" / "LC_NUMERIC", error)) {
                m_reason = "localedef could not build de_DE.UTF-8 (status " + std::to_string(status)
                    + "); install the Debian package locales";
                fs::remove_all(mine, error);
                return false;
            }
            fs::rename(mine, ready, error);
            fs::remove_all(mine, error); // another process was first: its copy is used
        }
        return setenv("LOCPATH", ready.c_str(), 1) == 0;
    }
#endif

    std::string m_old;
    std::string m_reason;
    bool m_active = false;
};

} // namespace testlocale
