#pragma once

// Where the private folder of GetTempDirectory (BarInfo.h) is made, how it is marked with the run
// that owns it, and the removal of the folders of runs that are gone.

#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace kestrane {

// The folders a private folder may be made in, best first. runtimeDir (the session's
// $XDG_RUNTIME_DIR) comes first when it is the absolute path of a folder, not a link, owned by
// user and with mode 0700, as a desktop session makes it: a memory file system emptied at
// logout, so that the device password's argument files never reach a disk. Then tmpDir ($TMPDIR)
// when it is set, and /tmp. Paths come without a trailing '/'.
std::vector<std::string> PrivateFolderBases(const char* runtimeDir, const char* tmpDir, uid_t user);

// What tells a process apart from a later one with the same id: its start time (clock ticks
// after boot, field 22 of /proc/PID/stat) and its PID namespace (another namespace's ids mean
// nothing here).
struct RunMark {
    pid_t pid = 0;
    unsigned long long startTime = 0;
    unsigned long long pidNamespace = 0;
};

// The mark of the running process pid; empty when /proc cannot tell (no such process, no /proc).
std::optional<RunMark> RunMarkOf(pid_t pid);

// The start of a private folder's name: "kestrane-PID-START-NAMESPACE-".
std::string PrivateFolderPrefix(const RunMark& mark);

// Removes from base every private folder of a run that is gone, with what it holds: a folder (not
// a link) owned by this user, named with the mark of a process of this PID namespace that no
// longer runs, or whose id now belongs to a process started at another time. Such folders are
// left behind when Kestrane and its command reaper are killed together, with the deploy tool's
// argument files in them. Everything else is left alone: folders of running processes, of
// other namespaces, of other users, and folders named otherwise. Errors are ignored.
void RemovePrivateFoldersOfEndedRuns(const std::string& base);

// The same in each of this process's PrivateFolderBases. Called at start by the programs that
// make a private folder.
void RemovePrivateFoldersOfEndedRuns();

} // namespace kestrane
