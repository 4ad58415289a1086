// The program's private temporary folder and the file routines around it.
#include "BarInfo.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane {
namespace {

// Never destroyed, so that it is still there when the exit handler removes the folder.
std::string& PrivateFolder() {
    static std::string* folder = new std::string;
    return *folder;
}

std::function<void(const std::string&)>& CreatedHook() {
    static auto* hook = new std::function<void(const std::string&)>;
    return *hook;
}

void RemovePrivateFolder() {
    std::error_code ignored;
    // remove_all does not follow links inside the folder.
    std::filesystem::remove_all(PrivateFolder(), ignored);
}

std::string MakePrivateFolder() {
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string bases[] = {tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp", "/tmp"};
    int error = 0;
    for (std::string base : bases) {
        while (base.size() > 1 && base.back() == '/')
            base.pop_back();
        std::string name = base + "/kestrane-XXXXXX";
        // mkdtemp makes the folder with mode 0700 under a name nobody could have planted.
        if (::mkdtemp(name.data()) != nullptr)
            return name + "/";
        error = errno;
    }
    throw BarInfoError(std::string("Cannot create a temporary folder in /tmp. ") +
                       std::strerror(error));
}

// "cannot be read (permission denied)": the system's reason for errno, in lower case.
std::string CannotBeRead(int error) {
    std::string reason = std::strerror(error);
    if (!reason.empty() && reason[0] >= 'A' && reason[0] <= 'Z')
        reason[0] = static_cast<char>(reason[0] - 'A' + 'a');
    return "cannot be read (" + reason + ")";
}

} // namespace

std::string GetTempDirectory() {
    // The first call makes the folder; a failed attempt is tried again on the next call.
    static const bool registered = (std::atexit(RemovePrivateFolder), true);
    (void)registered;
    if (PrivateFolder().empty()) {
        PrivateFolder() = MakePrivateFolder();
        if (CreatedHook())
            CreatedHook()(PrivateFolder());
    }
    return PrivateFolder();
}

void SetTempDirectoryCreatedHook(std::function<void(const std::string&)> hook) {
    CreatedHook() = std::move(hook);
}

void DeleteDirectory(const std::string& folder) {
    // An empty folder (the usual case after the manifest is gone) needs no listing. A link fails
    // here with ENOTDIR and is then left alone below.
    if (::rmdir(folder.c_str()) == 0 || (errno != ENOTEMPTY && errno != EEXIST))
        return;
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dirFd < 0)
        return;
    if (DIR* listing = ::fdopendir(::dup(dirFd))) {
        while (const dirent* entry = ::readdir(listing)) {
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            struct stat st {};
            if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                !S_ISDIR(st.st_mode))
                (void)::unlinkat(dirFd, entry->d_name, 0);
        }
        ::closedir(listing);
    }
    ::close(dirFd);
    (void)::rmdir(folder.c_str());
}

std::int64_t GetFileSizeByName(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return -1;
    return S_ISREG(st.st_mode) ? static_cast<std::int64_t>(st.st_size) : 0;
}

std::string UnreadableFileReason(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        // A missing folder on the way (ENOTDIR: a file named as one) is no file either.
        if (path.empty() || errno == ENOENT || errno == ENOTDIR)
            return "no such file";
        return CannotBeRead(errno);
    }
    if (S_ISDIR(st.st_mode))
        return "is a folder";
    if (!S_ISREG(st.st_mode))
        return "is not a regular file";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return CannotBeRead(errno);
    ::close(fd);
    return {};
}

} // namespace kestrane
