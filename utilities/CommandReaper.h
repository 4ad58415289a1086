#pragma once

#include <string>

#include <sys/types.h>

namespace kestrane {

// Ends the process groups of the commands still running when this program ends in any way: a
// normal exit, SIGTERM, SIGKILL or a crash. A small watcher process, started with the first
// group, holds one end of a socket whose other end only this program holds; when the program is
// gone the socket reads end-of-file and the watcher kills every group it was told of and exits.
// Nothing has to run in the dying program, so it works for SIGKILL too.
//
// Thread-safe. When the watcher cannot be started, the groups are simply not watched (the normal
// paths still end them).
class CommandReaper {
public:
    // Kill this group when the program ends.
    static void watch(pid_t group);
    // The group has ended: forget it, so that a later group with the same number is not killed.
    static void forget(pid_t group);
    // Remove this folder, if it is then empty, when the program ends: a private temporary folder
    // that the program's own exit handler would remove, but that a SIGKILL would leave behind.
    // At most a few folders with paths under 4 KiB are kept.
    static void removeAtEnd(const std::string& folder);
    // The watcher's process id (0 when it has not been started), for tests.
    static pid_t watcherPid();
};

} // namespace kestrane
