#include "platform/win32/win32_platform.h"

#include <cstring>
#include <vector>

#include "platform/win32/windows_api.h"

namespace platform {

bool Win32Platform::GetVersionEx(OsVersion& out) {
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    static_assert(sizeof info == 148, "the record with its 128-character service-pack text");
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return false;
    out.major = info.dwMajorVersion;
    out.minor = info.dwMinorVersion;
    out.build = info.dwBuildNumber;
    out.platformId = info.dwPlatformId;
    out.csdVersion.assign(info.szCSDVersion, sizeof info.szCSDVersion);
    return true;
}

namespace {

// Whether a name ends in an extension of its own: the loader adds ".dll" to one that does not.
bool HasExtension(const std::string& name) {
    const auto dot = name.find_last_of('.');
    const auto slash = name.find_last_of("\\/");
    return dot != std::string::npos && dot + 1 < name.size() &&
           (slash == std::string::npos || dot > slash);
}

// False only where no file of that name is anywhere the version functions look: the folders
// the path search covers (the program's, the current one, the system folders, the Windows
// folder and the PATH) hold all of theirs. Each of their own failed searches loads the name as
// a module in every one of those folders, and falls back to a 16-bit search of its own.
bool MayExist(const std::string& name) {
    if (!HasExtension(name)) return true;
    char found[MAX_PATH + 1] = {};
    char* part = nullptr;
    const DWORD length = SearchPathA(nullptr, name.c_str(), nullptr, MAX_PATH, found, &part);
    return length != 0;
}

}  // namespace

std::optional<FixedFileVersion> Win32Platform::FileVersion(const std::string& name) {
    if (!MayExist(name)) return std::nullopt;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(name.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<std::uint8_t> buffer(size);
    if (!GetFileVersionInfoA(name.c_str(), 0, size, buffer.data())) return std::nullopt;
    void* block = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(buffer.data(), "\\", &block, &length) || block == nullptr) {
        return std::nullopt;
    }
    // The fixed record sits inside the buffer; only its file version fields are used.
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, block, sizeof fixed);
    return FixedFileVersion{fixed.dwFileVersionMS, fixed.dwFileVersionLS};
}

namespace {

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsRooted(const std::string& name) {
    return (name.size() >= 2 && name[1] == ':') || (!name.empty() && (name[0] == '\\'));
}

std::string SystemFolder() {
    char buffer[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryA(buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(buffer, length) : std::string();
}

std::string WindowsFolder() {
    char buffer[MAX_PATH + 1] = {};
    const UINT length = GetWindowsDirectoryA(buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(buffer, length) : std::string();
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '\\' ? folder + name : folder + "\\" + name;
}

}  // namespace

// The version functions look for a bare or relative name in the system folder, the 16-bit
// system folder and the Windows folder, in that order.
std::string Win32Platform::LocateFile(const std::string& name) {
    if (name.empty()) return "";
    if (IsRooted(name)) return IsFile(name) ? name : "";
    const std::string windows = WindowsFolder();
    for (const std::string& folder :
         {SystemFolder(), windows.empty() ? std::string() : Join(windows, "system"), windows}) {
        if (folder.empty()) continue;
        const std::string path = Join(folder, name);
        if (IsFile(path)) return path;
    }
    return "";
}

FileSize Win32Platform::SizeOfFile(const std::string& path) {
    FileSize result;
    if (path.empty() || path.find('\0') != std::string::npos) {
        result.failure = SizeFailure::InvalidName;
        return result;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        result.failure = error == ERROR_INVALID_NAME || error == ERROR_BAD_PATHNAME ||
                                 error == ERROR_INVALID_DRIVE
                             ? SizeFailure::InvalidName
                             : SizeFailure::Other;
        return result;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return result;
    result.bytes = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    result.failure = SizeFailure::None;
    return result;
}

std::string Win32Platform::StartFolder() {
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return "";
    std::string path(buffer, length);
    const auto slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool Win32Platform::StartProcess(const std::string& commandLine) {
    if (commandLine.empty()) return false;
    // CreateProcessA may write into the command line, so it gets a copy of its own.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof process);
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    // Not waited for: the started program runs on its own.
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace platform
