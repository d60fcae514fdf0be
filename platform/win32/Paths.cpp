// Windows folders: the program's folder from GetModuleFileNameA; the
// configuration files in "C:\Program Files\Orrelane\Shared".
#include "support/Paths.h"

#include <windows.h>

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

} // namespace Paths
