#include "CommandReaper.h"

#include "ArgumentFile.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <mutex>

#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

// The records getdents64 fills in (glibc declares no type for them); a name is at most 255
// bytes and a NUL.
struct linux_dirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[256];
};

namespace kestrane {

namespace {

// Enough for every command a window could start at once; more are not watched.
constexpr int MaxWatchedGroups = 4096;
// The folders removed at the end, and the longest path kept.
constexpr int MaxFolders = 4;
constexpr int MaxFolderPath = 4096;
// A record that announces a folder: its length and its bytes follow.
constexpr std::int32_t FolderRecord = 0;

std::mutex& reaperMutex() {
    static std::mutex mutex;
    return mutex;
}

struct Watcher {
    int socket = -1;
    pid_t pid = 0;
    bool failed = false;
};

Watcher& watcher() {
    static Watcher state;
    return state;
}

// Closes every descriptor but keep: the watcher must not hold another pipe open (a command's
// output, a test harness's) past the life of this program.
void closeAllBut(int keep) {
    if (keep > 0)
        ::syscall(SYS_close_range, 0U, static_cast<unsigned>(keep - 1), 0U);
    ::syscall(SYS_close_range, static_cast<unsigned>(keep + 1), ~0U, 0U);
}

// Reads exactly size bytes; false at the end of the stream or on an error.
bool readExactly(int socket, void* buffer, std::size_t size) {
    auto* bytes = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t got = ::read(socket, bytes, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

// Removes the regular files named ArgumentFilePrefix... directly in folder. Raw system calls only
// (no heap, no stdio), as the watcher may use; a folder that is a link is not opened.
void removeArgumentFiles(const char* folder) {
    const int directory = ::open(folder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (directory < 0)
        return;
    alignas(8) char buffer[4096];
    const std::size_t prefixLength = sizeof ArgumentFilePrefix - 1;
    for (;;) {
        const long got = ::syscall(SYS_getdents64, directory, buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (long offset = 0; offset < got;) {
            const auto* entry = reinterpret_cast<const struct linux_dirent64*>(buffer + offset);
            offset += entry->d_reclen;
            if (entry->d_type == DT_REG &&
                std::strncmp(entry->d_name, ArgumentFilePrefix, prefixLength) == 0)
                ::unlinkat(directory, entry->d_name, 0);
        }
    }
    ::close(directory);
}

// The watcher process. It runs after fork() in a program that has threads, so it uses only
// async-signal-safe calls and no heap: a record is a group number, positive to watch it, negative
// to forget it, or FolderRecord followed by a folder's path.
[[noreturn]] void runWatcher(int socket) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGPIPE})
        ::sigaction(signalNumber, &ignore, nullptr);
    closeAllBut(socket);
    // Told apart from the program in a process list.
    ::prctl(PR_SET_NAME, "command-reaper", 0, 0, 0);
    // A session of its own: a signal to the program's process group leaves the watcher alive.
    ::setsid();
    pid_t groups[MaxWatchedGroups] = {};
    int count = 0;
    char folders[MaxFolders][MaxFolderPath + 1] = {};
    int folderCount = 0;
    for (;;) {
        std::int32_t record = 0;
        if (!readExactly(socket, &record, sizeof record))
            break;
        if (record == FolderRecord) {
            std::int32_t length = 0;
            if (!readExactly(socket, &length, sizeof length) || length <= 0 ||
                length > MaxFolderPath || folderCount == MaxFolders)
                break;
            if (!readExactly(socket, folders[folderCount], static_cast<std::size_t>(length)))
                break;
            folders[folderCount++][length] = '\0';
        } else if (record > 0 && count < MaxWatchedGroups) {
            groups[count++] = record;
        } else if (record < 0) {
            for (int i = 0; i < count; ++i) {
                if (groups[i] == -record) {
                    groups[i] = groups[--count];
                    break;
                }
            }
        }
    }
    for (int i = 0; i < count; ++i)
        ::kill(-groups[i], SIGKILL);
    // The deploy tool's argument files hold the device password: they go first. Then only an
    // empty folder goes: rmdir never removes anything else, and fails on a link.
    for (int i = 0; i < folderCount; ++i) {
        removeArgumentFiles(folders[i]);
        ::rmdir(folders[i]);
    }
    ::_exit(0);
}

bool startWatcher(Watcher& state) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return false;
    const pid_t pid = ::fork();
    if (pid == 0) {
        runWatcher(ends[0]);
    }
    ::close(ends[0]);
    if (pid < 0) {
        ::close(ends[1]);
        return false;
    }
    state.socket = ends[1];
    state.pid = pid;
    return true;
}

void send(const void* bytes, std::size_t size) {
    std::lock_guard<std::mutex> lock(reaperMutex());
    Watcher& state = watcher();
    if (state.failed)
        return;
    if (state.socket < 0 && !startWatcher(state)) {
        state.failed = true;
        return;
    }
    // MSG_NOSIGNAL: a watcher that died must not take this program with it through SIGPIPE.
    if (::send(state.socket, bytes, size, MSG_NOSIGNAL) != static_cast<ssize_t>(size))
        state.failed = true;
}

void send(std::int32_t record) {
    send(&record, sizeof record);
}

} // namespace

void CommandReaper::watch(pid_t group) {
    if (group > 0)
        send(static_cast<std::int32_t>(group));
}

void CommandReaper::forget(pid_t group) {
    if (group > 0)
        send(-static_cast<std::int32_t>(group));
}

void CommandReaper::removeAtEnd(const std::string& folder) {
    if (folder.empty() || folder.size() > static_cast<std::size_t>(MaxFolderPath))
        return;
    // One message, so that records of other threads cannot come between its parts.
    std::string message(2 * sizeof(std::int32_t), '\0');
    const std::int32_t header[2] = {FolderRecord, static_cast<std::int32_t>(folder.size())};
    std::memcpy(message.data(), header, sizeof header);
    message += folder;
    send(message.data(), message.size());
}

pid_t CommandReaper::watcherPid() {
    std::lock_guard<std::mutex> lock(reaperMutex());
    return watcher().pid;
}

} // namespace kestrane
