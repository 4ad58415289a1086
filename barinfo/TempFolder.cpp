// The program's private temporary folder and the file routines around it.
#include "TempFolder.h"

#include "BarInfo.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string_view>
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

constexpr std::string_view FolderNameStart = "kestrane-";

// A number of decimal digits only, as the folder names and /proc write them.
std::optional<unsigned long long> ReadNumber(std::string_view text) {
    if (text.empty() || text.size() > 19)
        return std::nullopt;
    unsigned long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

enum class StartTime { Read, Gone, Unknown };

// The start time of process pid (field 22 of /proc/PID/stat). Gone: there is no such process.
StartTime ReadStartTime(pid_t pid, unsigned long long* startTime) {
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ESRCH ? StartTime::Gone : StartTime::Unknown;
    char buffer[1024];
    const ssize_t got = ::read(fd, buffer, sizeof buffer - 1);
    const int readError = errno;
    ::close(fd);
    if (got <= 0)
        // A process that ended after the open reads ESRCH.
        return got < 0 && readError == ESRCH ? StartTime::Gone : StartTime::Unknown;
    // The command name (field 2) is in parentheses and may hold blanks and parentheses itself:
    // the fields are counted after its last ')'. Field 3 comes first.
    const std::string_view line(buffer, static_cast<std::size_t>(got));
    const std::size_t nameEnd = line.rfind(')');
    if (nameEnd == std::string_view::npos)
        return StartTime::Unknown;
    std::size_t at = nameEnd + 1;
    for (int field = 3; field <= 22; ++field) {
        at = line.find_first_not_of(' ', at);
        if (at == std::string_view::npos)
            return StartTime::Unknown;
        const std::size_t end = std::min(line.find(' ', at), line.size());
        if (field == 22) {
            const auto value = ReadNumber(line.substr(at, end - at));
            if (!value)
                return StartTime::Unknown;
            *startTime = *value;
            return StartTime::Read;
        }
        at = end;
    }
    return StartTime::Unknown;
}

// The mark a private folder's name carries: "kestrane-PID-START-NAMESPACE-" and mkdtemp's six
// characters (letters and digits).
std::optional<RunMark> MarkOfFolderName(std::string_view name) {
    if (name.substr(0, FolderNameStart.size()) != FolderNameStart)
        return std::nullopt;
    name.remove_prefix(FolderNameStart.size());
    unsigned long long numbers[3] = {};
    for (unsigned long long& number : numbers) {
        const std::size_t dash = name.find('-');
        const auto value =
            dash == std::string_view::npos ? std::nullopt : ReadNumber(name.substr(0, dash));
        if (!value)
            return std::nullopt;
        number = *value;
        name.remove_prefix(dash + 1);
    }
    if (name.size() != 6 || name.find('-') != std::string_view::npos || numbers[0] == 0 ||
        numbers[0] > static_cast<unsigned long long>(INT32_MAX))
        return std::nullopt;
    return RunMark{static_cast<pid_t>(numbers[0]), numbers[1], numbers[2]};
}

bool RunHasEnded(const RunMark& mark) {
    unsigned long long startTime = 0;
    switch (ReadStartTime(mark.pid, &startTime)) {
    case StartTime::Gone:
        return true;
    case StartTime::Read:
        // The id now belongs to a later process.
        return startTime != mark.startTime;
    case StartTime::Unknown:
        break;
    }
    return false;
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::vector<std::string> ThisProcessBases() {
    return PrivateFolderBases(std::getenv("XDG_RUNTIME_DIR"), std::getenv("TMPDIR"), ::getuid());
}

std::string MakePrivateFolder() {
    const std::optional<RunMark> mark = RunMarkOf(::getpid());
    // Without /proc the folder goes unmarked: never taken for a folder of an ended run.
    const std::string prefix = mark ? PrivateFolderPrefix(*mark) : std::string(FolderNameStart);
    int error = 0;
    for (const std::string& base : ThisProcessBases()) {
        std::string name = base + "/" + prefix + "XXXXXX";
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

std::vector<std::string> PrivateFolderBases(const char* runtimeDir, const char* tmpDir,
                                            uid_t user) {
    std::vector<std::string> bases;
    if (runtimeDir != nullptr && runtimeDir[0] == '/') {
        struct stat st {};
        if (::lstat(runtimeDir, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == user &&
            (st.st_mode & 07777) == 0700)
            bases.push_back(WithoutTrailingSlashes(runtimeDir));
    }
    if (tmpDir != nullptr && tmpDir[0] != '\0')
        bases.push_back(WithoutTrailingSlashes(tmpDir));
    bases.emplace_back("/tmp");
    return bases;
}

std::optional<RunMark> RunMarkOf(pid_t pid) {
    RunMark mark;
    mark.pid = pid;
    if (ReadStartTime(pid, &mark.startTime) != StartTime::Read)
        return std::nullopt;
    struct stat ns {};
    const std::string nsPath = "/proc/" + std::to_string(pid) + "/ns/pid";
    if (::stat(nsPath.c_str(), &ns) != 0)
        return std::nullopt;
    mark.pidNamespace = ns.st_ino;
    return mark;
}

std::string PrivateFolderPrefix(const RunMark& mark) {
    return std::string(FolderNameStart) + std::to_string(mark.pid) + "-" +
           std::to_string(mark.startTime) + "-" + std::to_string(mark.pidNamespace) + "-";
}

void RemovePrivateFoldersOfEndedRuns(const std::string& base) {
    const std::optional<RunMark> self = RunMarkOf(::getpid());
    if (!self)
        return;
    DIR* listing = ::opendir(base.c_str());
    if (listing == nullptr)
        return;
    std::vector<std::string> ended;
    while (const dirent* entry = ::readdir(listing)) {
        const std::optional<RunMark> mark = MarkOfFolderName(entry->d_name);
        if (!mark || mark->pidNamespace != self->pidNamespace)
            continue;
        const std::string path = base + "/" + entry->d_name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        if (RunHasEnded(*mark))
            ended.push_back(path);
    }
    ::closedir(listing);
    for (const std::string& path : ended) {
        std::error_code ignored;
        // remove_all does not follow links inside the folder.
        std::filesystem::remove_all(path, ignored);
    }
}

void RemovePrivateFoldersOfEndedRuns() {
    std::vector<std::string> seen;
    for (const std::string& base : ThisProcessBases()) {
        if (std::find(seen.begin(), seen.end(), base) != seen.end())
            continue;
        seen.push_back(base);
        RemovePrivateFoldersOfEndedRuns(base);
    }
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
