// Windows folders: the program's folder from GetModuleFileNameA; the
// configuration files in "C:\Program Files\Orrelane\Shared".
#include "support/Paths.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <string>

namespace Paths {

std::string ProgramFileName()
{
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return std::string(buffer, length);
}

std::string ProgramFolder()
{
    const std::string file = ProgramFileName();
    const std::size_t slash = file.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : file.substr(0, slash);
}

std::string ConfigurationFolder()
{
    return "C:\\Program Files\\Orrelane\\Shared";
}

char Separator()
{
    return '\\';
}

bool CreateFolders(const std::string& folder)
{
    if (folder.empty()) {
        return false;
    }
    for (std::size_t i = 3; i <= folder.size(); ++i) {
        if (i == folder.size() || folder[i] == '\\' || folder[i] == '/') {
            const std::string part = folder.substr(0, i);
            if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
                return false;
            }
        }
    }
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

std::string SystemText(DWORD code)
{
    char* text = nullptr;
    const DWORD length
        = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = length > 0 && text != nullptr ? std::string(text, length) : "Error " + std::to_string(code);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) {
        reason.pop_back();
    }
    if (text != nullptr) {
        LocalFree(text);
    }
    return reason;
}

} // namespace

std::FILE* CreateNewFile(const std::string& path, std::string& reason)
{
    // CREATE_NEW fails on any existing name, a link included.
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        reason = SystemText(GetLastError());
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        reason = "Could not open the new file";
        CloseHandle(handle);
        DeleteFileA(path.c_str());
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) {
        reason = "Could not open the new file";
        _close(fd);
        DeleteFileA(path.c_str());
    }
    return file;
}

std::string ResolveLinks(const std::string& path)
{
    return path;
}

bool ReplaceExistingFile(const std::string& from, const std::string& to, std::string& reason)
{
    HANDLE handle = CreateFileA(from.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        reason = SystemText(GetLastError());
        return false;
    }
    const bool flushed = FlushFileBuffers(handle) != 0;
    const DWORD flushError = GetLastError();
    CloseHandle(handle);
    if (!flushed) {
        reason = SystemText(flushError);
        return false;
    }
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    reason = SystemText(GetLastError());
    return false;
}

const char* NativeLineEnd()
{
    return "\r\n";
}

std::string DemoJoystickFile()
{
    // The installer puts it beside the program.
    const std::string file = ProgramFolder() + "\\virtual-joysticks.ini";
    const DWORD attributes = GetFileAttributesA(file.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ? file : std::string();
}

} // namespace Paths
