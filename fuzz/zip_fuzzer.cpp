// libFuzzer target over the archive component: each input is opened from memory, its
// directory is listed (FindFirst/FindNext over "*" and "*.mf", a walk over every directory item,
// and the manifest's plain-name search with the manifest decoded in memory), and every entry is
// decoded into memory through extraction's own decoding, checks and failure reactions, the
// dialogs answering Ignore and cancelling password prompts. One input in 16 is extracted into a
// fresh folder on disk instead, which checks names, links and modes on a real file system.
// Hostile input must never make the component crash, leak, hang, read or write outside what it
// owns, or write outside the folder.
#include "ZipArchive.h"
#include "ZipFuzzTarget.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Decoded blocks per input: a deflate stream can expand about a thousandfold, and many directory
// entries can point at the same data, so the output of one input is capped here.
constexpr int BlockBudget = 24;
// Entries of an input found by each search and checked one by one against the whole directory's
// answers: past that many passes a loop reaches no further hit-count bucket of libFuzzer's, and
// inputs of thousands of entries (a rebuilt directory of 72 KiB holds up to 4,600) otherwise
// spend most of their time in these walks.
constexpr int CheckedEntries = 256;
// The overlap check is compared with a quadratic one: on the first entries only.
constexpr int OverlapCheckedEntries = 64;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "zip_fuzzer: %s\n", what.c_str());
    std::abort();
}

// Answers every failure box with Ignore and cancels every password prompt.
class IgnoringPrompts : public ZAPrompts {
public:
    ZAButton AskAbortRetryIgnore(const std::string& text) override { return Checked(text); }
    ZAButton AskAbortIgnore(const std::string& text) override { return Checked(text); }
    // Every answer, chosen by the text so that an input always runs the same way.
    ZAButton AskOverwrite(const std::string& text) override {
        constexpr ZAButton answers[] = {ZAButton::Yes, ZAButton::No, ZAButton::YesToAll,
                                        ZAButton::NoToAll};
        return answers[text.size() % 4];
    }
    bool AskPassword(const std::string& caption, std::string&) override {
        if (caption.rfind("Password for \"", 0) != 0)
            Fail("password caption: " + caption);
        return false;
    }

private:
    static ZAButton Checked(const std::string& text) {
        if (text.find(" - Native error: ") == std::string::npos)
            Fail("failure text without the native error: " + text);
        return ZAButton::Ignore;
    }
};

// The working folders of the on-disk extraction: ROOT/box/out, the extraction target. Anything
// that appears in ROOT or ROOT/box besides these was written outside the target.
struct Workspace {
    fs::path root, box, out;

    Workspace() {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : P_tmpdir;
        std::string pattern = std::string(base) + "/kestrane-fuzz.XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr)
            Fail(std::string("mkdtemp: ") + std::strerror(errno));
        root = pattern;
        box = root / "box";
        out = box / "out";
        fs::create_directories(out);
    }
    ~Workspace() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }

    static std::set<std::string> Names(const fs::path& folder) {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(folder))
            names.insert(e.path().filename().string());
        return names;
    }

    // Checks that nothing escaped the target and empties it for the next input.
    void Reset() const {
        if (Names(root) != std::set<std::string>{"box"} ||
            Names(box) != std::set<std::string>{"out"})
            Fail("an entry was written outside the extraction folder");
        // Extracted files may have lost their permissions; the folders keep theirs.
        fs::remove_all(out);
        fs::create_directory(out);
    }
};

Workspace& Work() {
    static Workspace work;
    return work;
}

bool Open(TZipArchive& zip, const std::shared_ptr<TZAMemoryStream>& input, bool openCorrupted) {
    zip.OpenCorruptedArchives = openCorrupted;
    try {
        zip.OpenArchive(input);
    } catch (const EZAException&) {
        return false;
    } catch (const EZAReadError&) {
        return false;
    }
    if (!zip.Active() || zip.DMHandle() == nullptr)
        Fail("opened without a directory");
    return true;
}

void List(TZipArchive& zip) {
    const TZADirManager& dir = *zip.DMHandle();
    const int count = dir.CDir.Count();
    int found = 0;
    TZAArchiveItem item;
    for (bool more = zip.FindFirst("*", item, ZAAnyFileAttributes, "");
         more && found < CheckedEntries; more = zip.FindNext(item))
        ++found;
    if (found != std::min(count, CheckedEntries))
        Fail("\"*\" found " + std::to_string(found) + " of " + std::to_string(count));

    std::size_t sum = 0;
    dir.CDir.VisitItems([&](int, const TDirItem& visited) {
        sum += visited.Name.size() + visited.Comment.size() + visited.ExtraFields().size();
        sum += static_cast<std::size_t>(visited.CompressedSize() ^ visited.UncompressedSize() ^
                                        visited.LocalHeaderOffset());
    });
    std::string scratch;
    // The overlap check that kestrane-bar skips entries by answers as a plain comparison with
    // every kept span would.
    TZAOverlapCheck overlaps;
    std::vector<TZAEntrySpan> kept;
    for (int i = 0; i < std::min(count, CheckedEntries); ++i) {
        const TDirItem& full = dir.CDir.Item(i);
        if (!full.IsDirectory() && i < OverlapCheckedEntries) {
            const TZAEntrySpan span = ZAEntrySpan(full);
            const bool expected = std::any_of(kept.begin(), kept.end(), [&](const auto& k) {
                return k.start < span.end && span.start < k.end;
            });
            if (overlaps.Overlaps(full) != expected)
                Fail("the overlap check differs from a comparison with every kept span");
            if (!expected)
                kept.push_back(span);
        }
        if (dir.CDir.NameOf(i, scratch) != full.Name)
            Fail("NameOf differs from the item's name");
        if (dir.CDir.IsDirectory(i) != full.IsDirectory())
            Fail("IsDirectory differs from the item's");
        sum += full.Name.size();
        // A name lookup walks the whole directory: a few are enough.
        if (i < 8) {
            const int first = dir.CDir.IndexOfName(full.Name);
            if (first < 0 || first > i)
                Fail("IndexOfName does not find the entry or an earlier one of its name");
        }
    }
    // A wildcard search that fills every item it finds (names loaded and kept), and the window's
    // manifest search, a plain name, with the last record decoded in memory. The wildcard search
    // reads every name it passes (a rebuilt directory's names are decoded anew each time), so it
    // runs on directories of up to CheckedEntries only.
    int manifest = -1;
    if (count <= CheckedEntries)
        for (bool more = zip.FindFirst("*.mf", item, ZAAnyFileAttributes, ""); more;
             more = zip.FindNext(item))
            sum += item.FileName.size() + item.StoredPath.size();
    for (bool more = zip.FindFirst("META-INF\\MANIFEST.MF", item, ZAAnyFileAttributes, ""); more;
         more = zip.FindNext(item))
        manifest = item.Handle.ItemNo;
    if (manifest >= 0) {
        std::string bytes;
        try {
            if (zip.ExtractToMemory(manifest, bytes, 1 << 20) &&
                static_cast<std::int64_t>(bytes.size()) !=
                    dir.CDir.Item(manifest).UncompressedSize())
                Fail("decoded in memory to another size than declared");
        } catch (const EZAReadError&) {
            // a local header past the end of the file
        }
        sum += bytes.size();
    }
    sum += static_cast<std::size_t>(zip.FileCount() + zip.Size()) + zip.Comment().size();
    sum += dir.IsEncrypted() + dir.IsSFXArchive();
    if (sum == 1)
        std::fputc(' ', stderr); // keeps the reads from being optimised away
}

// Settings vary with the input's length, so that an input always runs the same way.
void Prepare(TZipArchive& zip, IgnoringPrompts& prompts, int& blocks, std::size_t variant) {
    zip.Prompts = &prompts;
    zip.Password = "secret"; // the generated encrypted seed's: its entries decrypt
    zip.ExtractCorruptedFiles = variant % 2 == 1;
    if (variant % 4 >= 2)
        zip.Options.OverwriteMode = omPrompt; // duplicate names bring up the overwrite box
    zip.OnFileProgress = [&blocks](TZABaseArchiver&, const std::string&, double,
                                   TZAProcessOperation, TZAProgressPhase phase, bool& cancel) {
        if (phase == ppProcess && ++blocks > BlockBudget)
            cancel = true;
    };
}

// Decodes every entry into memory, through the decoding, checks and failure reactions that
// extraction uses, until the input's block budget is spent.
void DecodeAll(TZipArchive& zip, std::size_t variant) {
    IgnoringPrompts prompts;
    int blocks = 0;
    Prepare(zip, prompts, blocks, variant);
    const TZADirManager& dir = *zip.DMHandle();
    // Kept from input to input: its room is reused, not mapped and unmapped for every entry.
    static std::string bytes;
    for (int i = 0; i < dir.CDir.Count() && blocks <= BlockBudget; ++i) {
        const std::int64_t declared = dir.CDir.Item(i).UncompressedSize();
        try {
            // A damaged entry kept as decoded may come out shorter, never longer.
            if (zip.ExtractToMemory(i, bytes, std::int64_t(BlockBudget) << 20) &&
                (zip.ExtractCorruptedFiles ? std::int64_t(bytes.size()) > declared
                                           : std::int64_t(bytes.size()) != declared))
                Fail("entry " + std::to_string(i) + " decoded in memory to " +
                     std::to_string(bytes.size()) + " bytes, declared " + std::to_string(declared));
        } catch (const EZAReadError&) {
            // a local header past the end of the file
        }
        if (!bytes.empty() && bytes.front() == '\x01' && bytes.back() == '\x02')
            std::fputc(' ', stderr); // keeps the output from being optimised away
    }
}

// Extracts everything into the folder, checking names, links and modes on a real file system.
void Extract(TZipArchive& zip, const fs::path& out, std::size_t variant) {
    IgnoringPrompts prompts;
    int blocks = 0;
    Prepare(zip, prompts, blocks, variant);
    zip.BaseDir = out.string() + "/";
    try {
        zip.ExtractFiles("*", ZAAnyFileAttributes, "");
    } catch (const EZAReadError&) {
        // A local header past the end of the file leaves the run with the stream's read error.
    }
}

// One in 16 inputs, chosen by their bytes so that an input always runs the same way.
bool OnDiskShare(const std::uint8_t* data, std::size_t size) {
    std::uint32_t hash = 2166136261u; // FNV-1a
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 16777619u;
    return (hash >> 28) == 0;
}

} // namespace

int RunZipFuzzInput(const std::uint8_t* data, std::size_t size, bool onDisk) {
    const auto input =
        std::make_shared<TZAMemoryStream>(std::string(reinterpret_cast<const char*>(data), size));
    // Opened as it is first; a damaged archive then as damaged archives are opened. Where the
    // first open succeeds the second would take the same path, so it is not repeated.
    TZipArchive zip("ZipArchive1");
    if (Open(zip, input, false) || Open(zip, input, true)) {
        List(zip);
        if (onDisk) {
            const Workspace& work = Work();
            Extract(zip, work.out, size);
            work.Reset();
        } else {
            DecodeAll(zip, size);
        }
        zip.CloseArchive();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return RunZipFuzzInput(data, size, OnDiskShare(data, size));
}
