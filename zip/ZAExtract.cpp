// The extraction run: the failure reactions, writing each entry and decoding its data.
#include "ZACrypt.h"
#include "ZADosTime.h"
#include "ZipArchive.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <zlib.h>

namespace {

constexpr std::size_t BlockSize = 1 << 20; // input blocks and the inflate output buffer

// One lock for every component of the process: extraction runs never overlap. Recursive, so a
// handler that starts another run on the same thread does not deadlock.
std::recursive_mutex& ExtractionLock() {
    static std::recursive_mutex lock;
    return lock;
}

std::string Slashes(std::string_view text) {
    std::string out(text);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

std::string FolderPart(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNamePart(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A relative name that stays inside the destination: not absolute ("/x", "//server", "C:x"), no
// ".." component, and no zero byte (the system would end the path there).
bool StaysInside(const std::string& name) {
    if (!name.empty() && name.front() == '/')
        return false;
    if (name.find('\0') != std::string::npos)
        return false;
    if (name.find("//") != std::string::npos)
        return false;
    const bool drive = name.size() >= 2 && name[1] == ':' &&
                       ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
    if (drive)
        return false;
    for (std::size_t start = 0; start <= name.size();) {
        const std::size_t end = std::min(name.find('/', start), name.size());
        if (name.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

// An open folder, closed when the handle goes.
class ZAFolderHandle {
public:
    explicit ZAFolderHandle(int fd) : FFd(fd) {}
    ZAFolderHandle(ZAFolderHandle&& other) noexcept : FFd(std::exchange(other.FFd, -1)) {}
    ZAFolderHandle& operator=(ZAFolderHandle&& other) noexcept {
        std::swap(FFd, other.FFd);
        return *this;
    }
    ZAFolderHandle(const ZAFolderHandle&) = delete;
    ZAFolderHandle& operator=(const ZAFolderHandle&) = delete;
    ~ZAFolderHandle() {
        if (FFd >= 0)
            ::close(FFd);
    }
    int Get() const { return FFd; }

private:
    int FFd;
};

// The destination folder itself, created when missing if create; a handle of -1 when it cannot
// be opened. It is the caller's choice, so a link there is followed like any path the caller
// gives.
ZAFolderHandle OpenDestination(const std::string& folder, bool create) {
    if (create) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
    }
    return ZAFolderHandle(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// Opens each folder of relative below the open folder one step at a time, creating what is
// missing (the last one with lastMode, the others with 0777; the system takes away the umask),
// and never through a link: a link planted where a folder of the path should be (to /etc, say)
// fails the entry instead of taking the write elsewhere.
ZAFolderHandle OpenFoldersBelow(ZAFolderHandle folder, const std::string& base,
                                const std::string& relative, const std::string& componentName,
                                mode_t lastMode) {
    for (std::size_t start = 0; start < relative.size();) {
        const std::size_t end = std::min(relative.find('/', start), relative.size());
        const std::string step = relative.substr(start, end - start);
        start = end + 1;
        if (step.empty() || step == ".")
            continue;
        const bool last = relative.find_first_not_of("/.", start) == std::string::npos;
        if (::mkdirat(folder.Get(), step.c_str(), last ? lastMode : 0777) != 0 && errno != EEXIST)
            throw EZAException(20, componentName, {base + relative});
        ZAFolderHandle next(
            ::openat(folder.Get(), step.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (next.Get() < 0)
            throw EZAException(20, componentName, {base + relative});
        folder = std::move(next);
    }
    return folder;
}

// The mode a file is created with; the system then takes away the umask. The Unix permission
// bits of an entry made on Unix that describes a regular file (never set-user-ID, set-group-ID
// or sticky; a link's or device's bits say nothing about the file written for it), and the DOS
// read-only flag as no write permission.
mode_t CreationMode(std::uint32_t attributes, std::uint16_t versionMadeBy, bool apply) {
    mode_t mode = 0666;
    if (!apply)
        return mode;
    const std::uint32_t unixMode = attributes >> 16;
    const std::uint32_t type = unixMode & S_IFMT;
    if ((versionMadeBy >> 8) == 3 && unixMode != 0 && (type == 0 || type == S_IFREG))
        mode = static_cast<mode_t>(unixMode & 0777);
    if ((attributes & 0x01) != 0)
        mode &= ~static_cast<mode_t>(0222);
    return mode;
}

// The mode a folder entry's folder is created with: the Unix permission bits of an entry made on
// Unix (never set-user-ID, set-group-ID or sticky), the owner keeping read, write and search so
// that the entries inside it can still be written.
mode_t FolderMode(std::uint32_t attributes, std::uint16_t versionMadeBy, bool apply) {
    const std::uint32_t unixMode = attributes >> 16;
    const std::uint32_t type = unixMode & S_IFMT;
    if (!apply || (versionMadeBy >> 8) != 3 || unixMode == 0 || (type != 0 && type != S_IFDIR))
        return 0777;
    return static_cast<mode_t>((unixMode & 0777) | 0700);
}

std::int32_t DosStamp(std::uint16_t date, std::uint16_t time) {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(date) << 16) | time);
}

} // namespace

unsigned char* TZABaseArchiver::Run::Grow(std::unique_ptr<unsigned char[]>& buffer,
                                          std::size_t& have, std::size_t size) {
    if (size > have) {
        buffer.reset(new unsigned char[size]);
        have = size;
    }
    return buffer.get();
}

bool TZABaseArchiver::RaiseFileProgress(double progress, TZAProgressPhase phase) {
    bool cancel = false;
    if (OnFileProgress)
        OnFileProgress(*this, FCurrentName, progress, poExtract, phase, cancel);
    FProgressCancel = FProgressCancel || cancel;
    return cancel;
}

bool TZABaseArchiver::RaiseOverallProgress(double progress, TZAProgressPhase phase) {
    bool cancel = false;
    if (OnOverallProgress)
        OnOverallProgress(*this, progress, poExtract, phase, cancel);
    FProgressCancel = FProgressCancel || cancel;
    return cancel;
}

void TZABaseArchiver::RunExtraction() {
    const std::lock_guard<std::recursive_mutex> lock(ExtractionLock());
    const std::shared_ptr<TZADirManager> dir = FDirManager;
    const std::shared_ptr<TZAStream> stream = FCompressedStream;
    Run run;
    run.dir = dir.get();
    run.stream = stream.get();
    struct Restore {
        Run*& current;
        Run* saved;
        ~Restore() { current = saved; }
    } restore{FRun, FRun};
    FRun = &run;
    FProcessedFileNo = 0;
    FProcessedFileCount = 0;
    FRunDone = FRunTotal = 0;
    const std::vector<int> tagged = FTagged;
    for (const int index : tagged) {
        ++FProcessedFileCount;
        // Declared sizes may be anything up to 2^63 - 1: the sum stops there.
        const std::int64_t size =
            std::max<std::int64_t>(dir->CDir.Item(index).UncompressedSize(), 0);
        FRunTotal = size > std::numeric_limits<std::int64_t>::max() - FRunTotal
                        ? std::numeric_limits<std::int64_t>::max()
                        : FRunTotal + size;
    }
    FProgressCancel = false;
    FProgressEnabled = true;
    RaiseOverallProgress(0, ppStart);
    for (const int index : tagged)
        if (FProgressCancel || !ProcessEntry(index))
            break;
    RaiseOverallProgress(100, ppEnd);
    FProgressEnabled = false;
}

bool TZABaseArchiver::ProcessEntry(int index) {
    for (;;) {
        const std::string name = Slashes(FRun->dir->CDir.Item(index).Name);
        FCurrentName = name;
        try {
            bool confirm = true;
            if (OnConfirmProcessFile)
                OnConfirmProcessFile(*this, name, poExtract, confirm);
            if (!confirm)
                return true;
            // The current folder is asked for only when it is the destination: it may have been
            // removed meanwhile, which must not fail an extraction into BaseDir.
            if (BaseDir.empty() && FCurrentDir.empty())
                FCurrentDir = std::filesystem::current_path().string();
            std::string folder = BaseDir.empty() ? FCurrentDir : BaseDir;
            if (folder.back() != '/')
                folder += '/';
            if (RaiseFileProgress(0, ppStart))
                return false;
            WriteEntry(index, name, folder);
            if (RaiseFileProgress(100, ppEnd) || FProgressCancel)
                return false;
            ++FProcessedFileNo;
            return true;
        } catch (const EZAException& error) {
            const TZAAction action = FailureReaction(name, error);
            if (action != zaaRetry)
                return action == zaaIgnore;
        }
    }
}

TZAAction TZABaseArchiver::FailureReaction(const std::string& name, const EZAException& error) {
    TZAAction action = zaaIgnore;
    if (OnProcessFileFailure) {
        OnProcessFileFailure(*this, name, poExtract, error.NativeError, error.ErrorCode,
                             error.Message(), action);
        return action;
    }
    if (error.NativeError == 45)
        return zaaAbort;
    if (error.NativeError == 61) {
        const ZAButton answer = Prompts ? Prompts->AskAbortIgnore(error.Message()) : ZAButton::None;
        return answer == ZAButton::Ignore ? zaaIgnore : zaaAbort;
    }
    const std::string text = error.Message() + ". File processing error, possibly disk is full";
    const ZAButton answer = Prompts ? Prompts->AskAbortRetryIgnore(text) : ZAButton::None;
    if (answer == ZAButton::Retry)
        return zaaRetry;
    return answer == ZAButton::Ignore ? zaaIgnore : zaaAbort;
}

void TZABaseArchiver::WriteEntry(int index, std::string name, const std::string& folder) {
    const TDirItem& item = FRun->dir->CDir.Item(index);
    std::uint32_t attributes = item.CentralDir.externalAttr;
    if (OnExtractFile)
        OnExtractFile(*this, name, attributes, AnsiCodePage.ToUtf8(item.Comment));
    name = Slashes(name);
    if (!StaysInside(name))
        throw EZAException(19, Name, {name});
    // A name ending with '/' (also one stored with a trailing backslash) names a folder.
    const bool isFolder = (item.CentralDir.externalAttr & ZAAttrDirectory) != 0 ||
                          (!item.Name.empty() && item.Name.back() == '/') ||
                          (!name.empty() && name.back() == '/');
    if (!Options.CreateDirs)
        name = FileNamePart(name);
    if (isFolder && !Options.CreateDirs)
        return;
    ZAFolderHandle destination = OpenDestination(folder, Options.CreateDirs);
    if (destination.Get() < 0 && Options.CreateDirs)
        throw EZAException(20, Name, {folder + FolderPart(name)});
    if (destination.Get() < 0)
        throw EZAException(19, Name, {folder + name});
    const mode_t folderMode =
        isFolder ? FolderMode(attributes, item.CentralDir.versionMadeBy, Options.SetAttributes)
                 : 0777;
    const ZAFolderHandle parent =
        OpenFoldersBelow(std::move(destination), folder, FolderPart(name), Name, folderMode);
    if (isFolder)
        return;
    const std::string target = folder + name;
    const std::string leaf = FileNamePart(name);
    if (!MayReplace(parent.Get(), leaf, target, name, item))
        return;
    const mode_t mode =
        CreationMode(attributes, item.CentralDir.versionMadeBy, Options.SetAttributes);
    const int output = CreateTarget(parent.Get(), leaf, target, mode);
    FSkipFile = false;
    std::exception_ptr failure;
    try {
        DecodeEntry(index, output);
    } catch (...) {
        failure = std::current_exception();
    }
    const bool keep = !failure && !FSkipFile && !FProgressCancel;
    FinishTarget(output, parent.Get(), leaf, item, keep);
    if (failure)
        std::rethrow_exception(failure);
}

bool TZABaseArchiver::MayReplace(int folder, const std::string& leaf, const std::string& target,
                                 const std::string& name, const TDirItem& item) {
    struct stat st {};
    if (::fstatat(folder, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode))
        return true;
    if (!Options.ReplaceReadOnly && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0)
        return false;
    const std::int32_t entryStamp =
        DosStamp(item.CentralDir.lastModDate, item.CentralDir.lastModTime);
    const auto targetStamp = static_cast<std::int32_t>(ZATimeToDos(st.st_mtime));
    switch (Options.OverwriteMode) {
    case omAlways:
        return true;
    case omNever:
        return false;
    case omIfNewer:
        return targetStamp < entryStamp;
    case omIfOlder:
        return entryStamp < targetStamp;
    case omPrompt:
        break;
    }
    bool confirm = true;
    if (OnConfirmOverwrite) {
        OnConfirmOverwrite(*this, name, target, confirm);
        return confirm;
    }
    const std::string text = "Overwrite file \"" + target + "\" with \"" + name + "\"";
    const ZAButton answer = Prompts ? Prompts->AskOverwrite(text) : ZAButton::None;
    if (answer == ZAButton::NoToAll)
        Options.OverwriteMode = omNever;
    if (answer == ZAButton::YesToAll)
        Options.OverwriteMode = omAlways;
    return answer == ZAButton::Yes || answer == ZAButton::YesToAll;
}

int TZABaseArchiver::CreateTarget(int folder, const std::string& leaf, const std::string& target,
                                  unsigned mode) {
    struct stat st {};
    if (::fstatat(folder, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode))
        (void)::unlinkat(folder, leaf.c_str(), 0); // a read-only file or a link goes
    // Never through a link: the file itself is created (or replaced), with the entry's mode.
    const int output =
        ::openat(folder, leaf.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode);
    if (output < 0)
        throw EZAException(19, Name, {target});
    return output;
}

void TZABaseArchiver::FinishTarget(int output, int folder, const std::string& leaf,
                                   const TDirItem& item, bool keep) {
    std::time_t stamp;
    if (ZADosToTime(item.CentralDir.lastModDate, item.CentralDir.lastModTime, stamp)) {
        const struct timespec times[2] = {{0, UTIME_OMIT}, {stamp, 0}};
        (void)::futimens(output, times);
    }
    ::close(output);
    if (!keep)
        (void)::unlinkat(folder, leaf.c_str(), 0);
}

// The decoded data's way into the target file: checked against the declared size, counted into
// the CRC-32 and the progress, and written in full. A large entry is written by a second thread,
// so that writing overlaps decoding; the data passes in 1 MiB buffers without being copied.
// With memory instead of a file, the data is decoded straight into that buffer, which never
// holds more than the declared size.
struct TZABaseArchiver::Output {
    Output(TZABaseArchiver& arc, int file, std::int64_t expected, std::string* memory = nullptr);
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // Where to decode the next bytes to, and how many fit.
    unsigned char* Space(std::size_t& size);
    // Takes n bytes decoded into Space. False stops the decoding: the data would exceed the
    // declared size (the part within it is kept) or a handler cancelled.
    bool Commit(std::size_t n);
    // Waits until everything is written.
    void Finish();

    std::int64_t Written() const { return FCommitted; }
    std::uint32_t Crc() const { return FCrc; }
    // The Adler-32 of everything written, read back from the file.
    std::uint32_t ReadBackAdler();

private:
    struct Job {
        unsigned char* data;
        std::size_t length;
        std::int64_t offset;
        std::size_t done = 0;
    };
    static constexpr int BufferCount = 4;
    // The second thread starts once a block has been written directly and at least this much
    // is still expected: not on the declared size alone, which may promise far more than the
    // entry holds.
    static constexpr std::int64_t PipelineFrom = 4 << 20;

    bool Progress(std::size_t n);
    void WriteNow(const Job& job);
    void StartPipeline();
    void Submit();
    void WriterLoop();
    void TakeBackFailedWrites();
    void StopWriter();

    TZABaseArchiver& Arc;
    const int File;
    const std::int64_t Expected;
    std::string* const Memory;
    std::int64_t FCommitted = 0;
    std::uint32_t FCrc = 0;
    unsigned char* FSpace = nullptr; // the buffer Space gave out last, without the writer thread
    // Pipelined writing: buffers, the queue to the writer and what it has left.
    bool FPipelined = false;
    bool FPipelineAllowed = true; // not again after a failed write
    std::unique_ptr<unsigned char[]> FBuffers;
    unsigned char* FCurrent = nullptr;
    std::size_t FFilled = 0;
    std::thread FWriter;
    std::mutex FLock;
    std::condition_variable FChanged;
    std::deque<Job> FQueue;
    std::vector<unsigned char*> FFree;
    bool FClosing = false;
    bool FWriteFailed = false;
};

TZABaseArchiver::Output::Output(TZABaseArchiver& arc, int file, std::int64_t expected,
                                std::string* memory)
    : Arc(arc), File(file), Expected(expected), Memory(memory) {
    if (Memory)
        Memory->clear();
}

void TZABaseArchiver::Output::StartPipeline() {
    FPipelined = true;
    FBuffers.reset(new unsigned char[BufferCount * BlockSize]);
    for (int i = 1; i < BufferCount; ++i)
        FFree.push_back(FBuffers.get() + i * BlockSize);
    FCurrent = FBuffers.get();
    FWriter = std::thread([this] { WriterLoop(); });
}

TZABaseArchiver::Output::~Output() {
    StopWriter();
}

void TZABaseArchiver::Output::StopWriter() {
    if (!FWriter.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(FLock);
        FClosing = true;
    }
    FChanged.notify_all();
    FWriter.join();
}

void TZABaseArchiver::Output::WriterLoop() {
    std::unique_lock<std::mutex> lock(FLock);
    for (;;) {
        FChanged.wait(lock, [this] { return !FQueue.empty() || FClosing; });
        if (FQueue.empty())
            return;
        Job& job = FQueue.front();
        lock.unlock();
        while (job.done < job.length) {
            const ssize_t n = ::pwrite(File, job.data + job.done, job.length - job.done,
                                       static_cast<off_t>(job.offset + std::int64_t(job.done)));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            job.done += static_cast<std::size_t>(n);
        }
        const bool complete = job.done == job.length;
        if (complete)
            FCrc = static_cast<std::uint32_t>(crc32_z(FCrc, job.data, job.length));
        lock.lock();
        if (!complete) { // the caller's thread takes over with the disk-full handling
            FWriteFailed = true;
            FChanged.notify_all();
            return;
        }
        FFree.push_back(job.data);
        FQueue.pop_front();
        FChanged.notify_all();
    }
}

// Writes the rest of a job on this thread: a short write raises OnDiskFull (Cancel stops the
// run, otherwise the part is written again), or error 65 without a handler.
void TZABaseArchiver::Output::WriteNow(const Job& job) {
    for (;;) {
        std::size_t done = job.done;
        while (done < job.length) {
            const ssize_t n = ::pwrite(File, job.data + done, job.length - done,
                                       static_cast<off_t>(job.offset + std::int64_t(done)));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        if (done == job.length)
            break;
        if (!Arc.OnDiskFull)
            throw EZAException(65, "");
        bool cancel = false;
        Arc.OnDiskFull(Arc, 0, Arc.FileName, cancel);
        if (cancel) {
            Arc.FProgressCancel = true;
            return;
        }
    }
    FCrc = static_cast<std::uint32_t>(crc32_z(FCrc, job.data, job.length));
}

// After a failed write the writer has stopped; its unfinished jobs are written here, and the rest
// of the entry is written without the second thread.
void TZABaseArchiver::Output::TakeBackFailedWrites() {
    FWriter.join();
    FPipelined = false;
    FPipelineAllowed = false;
    while (!FQueue.empty() && !Arc.FProgressCancel) {
        WriteNow(FQueue.front());
        FQueue.pop_front();
    }
    FQueue.clear();
}

void TZABaseArchiver::Output::Submit() {
    std::unique_lock<std::mutex> lock(FLock);
    if (FFilled > 0) {
        FQueue.push_back({FCurrent, FFilled, FCommitted - std::int64_t(FFilled)});
        FChanged.notify_all();
    }
    FFilled = 0;
    FChanged.wait(lock, [this] { return !FFree.empty() || FWriteFailed; });
    if (FWriteFailed) {
        lock.unlock();
        TakeBackFailedWrites();
        return;
    }
    FCurrent = FFree.back();
    FFree.pop_back();
}

unsigned char* TZABaseArchiver::Output::Space(std::size_t& size) {
    if (Memory) {
        // Room for what the declared size still allows, and one byte more to notice an excess.
        size = static_cast<std::size_t>(
            std::clamp<std::int64_t>(Expected - FCommitted, 0, std::int64_t(BlockSize) - 1) + 1);
        Memory->resize(static_cast<std::size_t>(FCommitted) + size);
        FSpace = reinterpret_cast<unsigned char*>(Memory->data()) + FCommitted;
        return FSpace;
    }
    if (!FPipelined) {
        size = static_cast<std::size_t>(
            std::clamp<std::int64_t>(Expected, 0, std::int64_t(BlockSize) - 1) + 1);
        FSpace = Arc.FRun->Out(size);
        return FSpace;
    }
    if (FFilled == BlockSize)
        Submit();
    if (!FPipelined)
        return Space(size);
    size = BlockSize - FFilled;
    return FCurrent + FFilled;
}

bool TZABaseArchiver::Output::Commit(std::size_t n) {
    if (Arc.FProgressCancel)
        return false;
    if (n == 0)
        return true;
    const std::int64_t room = std::max<std::int64_t>(Expected - FCommitted, 0);
    const bool overflow = std::int64_t(n) > room;
    if (overflow)
        n = static_cast<std::size_t>(room);
    if (FPipelined) {
        FFilled += n;
        FCommitted += std::int64_t(n);
        if (overflow)
            Submit();
    } else if (Memory) {
        FCrc = static_cast<std::uint32_t>(crc32_z(FCrc, FSpace, n));
        FCommitted += std::int64_t(n);
        Memory->resize(static_cast<std::size_t>(FCommitted));
    } else {
        const Job job{FSpace, n, FCommitted};
        WriteNow(job);
        if (Arc.FProgressCancel)
            return false;
        FCommitted += std::int64_t(n);
        if (FPipelineAllowed && !overflow && FCommitted >= std::int64_t(BlockSize) &&
            Expected - FCommitted >= PipelineFrom)
            StartPipeline();
    }
    return Progress(n) && !overflow;
}

bool TZABaseArchiver::Output::Progress(std::size_t n) {
    Arc.FProgress += std::int64_t(n);
    Arc.FRunDone += std::int64_t(n);
    if (Arc.OnFileProgress &&
        Arc.RaiseFileProgress(100.0 * double(Arc.FProgress) / double(Arc.FProgressMax), ppProcess))
        return false;
    if (Arc.OnOverallProgress && Arc.FRunTotal > 0 &&
        Arc.RaiseOverallProgress(100.0 * double(Arc.FRunDone) / double(Arc.FRunTotal), ppProcess))
        return false;
    return true;
}

void TZABaseArchiver::Output::Finish() {
    // Space may have handed out room that nothing was committed to (a decoder that failed or
    // produced nothing): the bytes end with what was committed, as a file would.
    if (Memory) {
        Memory->resize(static_cast<std::size_t>(FCommitted));
        return;
    }
    if (!FPipelined)
        return;
    Submit();
    if (!FPipelined)
        return;
    std::unique_lock<std::mutex> lock(FLock);
    FChanged.wait(lock, [this] { return FQueue.empty() || FWriteFailed; });
    const bool failed = FWriteFailed;
    lock.unlock();
    if (failed)
        TakeBackFailedWrites();
}

std::uint32_t TZABaseArchiver::Output::ReadBackAdler() {
    if (Memory)
        return static_cast<std::uint32_t>(adler32_z(
            adler32_z(0, nullptr, 0), reinterpret_cast<const unsigned char*>(Memory->data()),
            static_cast<std::size_t>(FCommitted)));
    Finish();
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[BlockSize]);
    uLong adler = adler32_z(0, nullptr, 0);
    for (std::int64_t at = 0; at < FCommitted;) {
        const auto want =
            static_cast<std::size_t>(std::min<std::int64_t>(FCommitted - at, BlockSize));
        const ssize_t n = ::pread(File, buffer.get(), want, static_cast<off_t>(at));
        if (n <= 0)
            return ~static_cast<std::uint32_t>(adler); // cannot be read back: no match
        adler = adler32_z(adler, buffer.get(), static_cast<std::size_t>(n));
        at += n;
    }
    return static_cast<std::uint32_t>(adler);
}

// Decodes one entry's data (stored or deflated, decrypted on the way) into an Output.
struct TZABaseArchiver::Decoder {
    TZABaseArchiver& Arc;
    TZAStream& Stream;
    Output& Out;
    ZAPkzipDecryptor* Crypt = nullptr;

    bool Stored(std::int64_t pos, std::int64_t size);
    bool Inflate(std::int64_t pos, std::int64_t size);
    bool TrailerMatches(const z_stream& zs, std::int64_t pos, std::int64_t left);
};

bool TZABaseArchiver::Decoder::Stored(std::int64_t pos, std::int64_t size) {
    for (std::int64_t left = size; left > 0;) {
        std::size_t space;
        unsigned char* buffer = Out.Space(space);
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, space));
        Stream.ReadExact(pos, buffer, n);
        if (Crypt)
            Crypt->Decrypt(buffer, n);
        if (!Out.Commit(n))
            return false;
        pos += static_cast<std::int64_t>(n);
        left -= static_cast<std::int64_t>(n);
    }
    return true;
}

// Raw inflate. The data is read as zlib data behind a made-up header 0x78 0x01 and without an
// Adler-32 trailer: data ending before the compressed size decodes as long as fewer than four
// bytes follow it; four or more are read as the trailer and must equal the output's Adler-32.
bool TZABaseArchiver::Decoder::Inflate(std::int64_t pos, std::int64_t size) {
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK)
        return false;
    struct End {
        z_stream& zs;
        ~End() { inflateEnd(&zs); }
    } end{zs};
    unsigned char* in = Arc.FRun->In(
        static_cast<std::size_t>(std::clamp<std::int64_t>(size, 1, std::int64_t(BlockSize))));
    for (std::int64_t left = size; left > 0;) {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, BlockSize));
        Stream.ReadExact(pos, in, n);
        if (Crypt)
            Crypt->Decrypt(in, n);
        pos += static_cast<std::int64_t>(n);
        left -= static_cast<std::int64_t>(n);
        zs.next_in = in;
        zs.avail_in = static_cast<uInt>(n);
        for (;;) {
            std::size_t space;
            zs.next_out = Out.Space(space);
            zs.avail_out = static_cast<uInt>(space);
            const int result = inflate(&zs, Z_NO_FLUSH);
            if (!Out.Commit(space - zs.avail_out))
                return false;
            if (result == Z_STREAM_END)
                return TrailerMatches(zs, pos, left);
            if (result == Z_BUF_ERROR && zs.avail_in == 0)
                break; // the block is used up
            if (result != Z_OK)
                return false;
            if (zs.avail_in == 0 && zs.avail_out != 0)
                break;
        }
    }
    return true;
}

bool TZABaseArchiver::Decoder::TrailerMatches(const z_stream& zs, std::int64_t pos,
                                              std::int64_t left) {
    if (std::int64_t(zs.avail_in) + left < 4)
        return true;
    unsigned char trailer[4];
    const std::size_t fromBlock = std::min<std::size_t>(zs.avail_in, 4);
    std::copy_n(zs.next_in, fromBlock, trailer);
    if (fromBlock < 4) {
        Stream.ReadExact(pos, trailer + fromBlock, 4 - fromBlock);
        if (Crypt)
            Crypt->Decrypt(trailer + fromBlock, 4 - fromBlock);
    }
    const std::uint32_t stored = (std::uint32_t(trailer[0]) << 24) |
                                 (std::uint32_t(trailer[1]) << 16) |
                                 (std::uint32_t(trailer[2]) << 8) | trailer[3];
    return stored == Out.ReadBackAdler();
}

bool TZABaseArchiver::RequestPassword(const TDirItem& item) {
    if (OnPassword) {
        std::string password = Password;
        bool skip = false;
        OnPassword(*this, std::string(item.Name), password, skip);
        if (!skip)
            Password = password;
        return !skip;
    }
    std::string typed;
    const std::string caption = "Password for \"" + std::string(item.Name) + "\"";
    if (Prompts == nullptr || !Prompts->AskPassword(caption, typed))
        return false;
    Password = AnsiCodePage.FromUtf8(typed);
    return true;
}

void TZABaseArchiver::DecodeEntry(int index, int output, std::string* memory) {
    if (index < 0 || index >= FRun->dir->CDir.Count())
        throw EZAException(16, Name);
    const TDirItem& item = FRun->dir->CDir.Item(index);
    const TZAZipCentralDir& c = item.CentralDir;
    const std::int64_t offset = item.LocalHeaderOffset();
    std::string header(ZALocalHeaderSize, '\0');
    FRun->stream->ReadExact(offset, header.data(), header.size());
    const TZAZipCentralDir local = ZAParseLocalHeader(header);
    std::int64_t dataPos =
        offset + std::int64_t(ZALocalHeaderSize) + local.nameLength + local.extraLength;
    // The data never reaches into the central directory.
    std::int64_t size = std::max<std::int64_t>(item.CompressedSize(), 0);
    if (size > FRun->dir->CentralDirOffset - dataPos)
        size = std::max<std::int64_t>(FRun->dir->CentralDirOffset - dataPos, 0);
    const std::int64_t expected = item.UncompressedSize();
    Output out(*this, output, expected, memory);
    Decoder decoder{*this, *FRun->stream, out};
    FProgressMax = expected == 0 ? 2 : expected;
    FProgress = 0;
    FSkipFile = false;
    const std::uint16_t method = item.CompressionMethod;
    if (method == 9)
        throw EZAException(55, "");
    bool ok = method == 0 || method == 8;
    std::unique_ptr<ZAPkzipDecryptor> crypt;
    if (ok && item.Encrypted()) {
        // WinZip AES is not decrypted: such an entry counts as a cancelled password prompt.
        if (item.ZAEncryptionAlgorithm != caPkzipClassic) {
            FSkipFile = true;
            return;
        }
        unsigned char check[ZAPkzipDecryptor::HeaderSize];
        FRun->stream->ReadExact(dataPos, check, sizeof check);
        const auto checkByte =
            static_cast<unsigned char>((c.genPurposeFlag & 8) ? c.lastModTime >> 8 : c.crc32 >> 24);
        for (;;) {
            crypt = std::make_unique<ZAPkzipDecryptor>(Password);
            if (crypt->CheckHeader(check, checkByte))
                break;
            if (!RequestPassword(item)) {
                FSkipFile = true;
                return;
            }
        }
        decoder.Crypt = crypt.get();
        dataPos += std::int64_t(sizeof check);
        size = std::max<std::int64_t>(size - std::int64_t(sizeof check), 0);
    }
    if (ok)
        ok = method == 0 ? decoder.Stored(dataPos, size) : decoder.Inflate(dataPos, size);
    out.Finish();
    ok = ok && out.Written() == expected;
    if (ok && !FSkipFile && c.extractVersion < ZAVersionWithoutChecks)
        ok = out.Crc() == c.crc32;
    if (!ok && !FProgressCancel && !FSkipFile && !ExtractCorruptedFiles)
        throw EZAException(8, Name);
}

bool TZABaseArchiver::ExtractToMemory(int index, std::string& bytes, std::int64_t maxSize) {
    RequireOpen();
    bytes.clear();
    const std::lock_guard<std::recursive_mutex> lock(ExtractionLock());
    const std::shared_ptr<TZADirManager> dir = FDirManager;
    const std::shared_ptr<TZAStream> stream = FCompressedStream;
    if (index < 0 || index >= dir->CDir.Count())
        throw EZAException(16, Name);
    const TDirItem& item = dir->CDir.Item(index);
    const std::int64_t size = item.UncompressedSize();
    if (item.IsDirectory() || size < 0 || size > maxSize)
        return false;
    Run run;
    run.dir = dir.get();
    run.stream = stream.get();
    struct Restore {
        Run*& current;
        Run* saved;
        ~Restore() { current = saved; }
    } restore{FRun, FRun};
    FRun = &run;
    FProcessedFileNo = 0;
    FProcessedFileCount = 1;
    FRunDone = 0;
    FRunTotal = size;
    FProgressCancel = false;
    FProgressEnabled = true;
    RaiseOverallProgress(0, ppStart);
    const std::string name = Slashes(item.Name);
    bool decoded = false;
    for (;;) {
        FCurrentName = name;
        try {
            if (RaiseFileProgress(0, ppStart))
                break;
            FSkipFile = false;
            DecodeEntry(index, -1, &bytes);
            decoded = !FSkipFile && !FProgressCancel;
            if (RaiseFileProgress(100, ppEnd))
                decoded = false;
            break;
        } catch (const EZAException& error) {
            bytes.clear();
            if (FailureReaction(name, error) != zaaRetry)
                break;
        }
    }
    if (decoded)
        ++FProcessedFileNo;
    else
        bytes.clear();
    RaiseOverallProgress(100, ppEnd);
    FProgressEnabled = false;
    return decoded;
}
