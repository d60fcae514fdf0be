#include "config/FileReplacement.h"

#include "config/SettingsFile.h"
#include "support/Paths.h"

#include <cstdio>
#include <filesystem>
#include <memory>

std::string FolderOf(const std::string& path)
{
    const std::size_t cut = path.find_last_of(Paths::Separator() == '/' ? "/" : "\\/");
    if (cut == std::string::npos) {
        return {};
    }
    return cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
}

std::unique_ptr<SettingsFileClass> CreateTemporary(const std::string& target, std::string& name)
{
    std::unique_ptr<SettingsFileClass> file;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + ".tmp" + (attempt == 0 ? std::string() : std::to_string(attempt));
        file = SettingsFileClass::CreateNew(name);
        std::error_code error;
        if (file->IsOpen() || !std::filesystem::exists(std::filesystem::symlink_status(name, error))) {
            break;
        }
    }
    return file;
}

bool ReplaceFileWithText(const std::string& path, const std::string& text, std::string& reason)
{
    if (path.empty()) {
        reason = "No file name given";
        return false;
    }
    const std::string target = Paths::ResolveLinks(path);
    const std::string folder = FolderOf(target);
    if (!folder.empty() && !Paths::CreateFolders(folder)) {
        reason = "Could not create the folder " + folder;
        return false;
    }
    std::string temporary;
    bool written = false;
    {
        const std::unique_ptr<SettingsFileClass> file = CreateTemporary(target, temporary);
        if (!file->IsOpen()) {
            reason = file->GetErrorText();
            return false;
        }
        const bool ok = file->WriteToSettingsFile(text.c_str());
        written = ok && file->FlushFile() && file->CloseFile();
        if (!written) {
            reason = file->GetErrorText();
        }
    }
    if (!written) {
        std::remove(temporary.c_str());
        return false;
    }
    if (!Paths::ReplaceExistingFile(temporary, target, reason)) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
