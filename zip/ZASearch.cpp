// Finding entries by mask: FindFirst / FindNext and the selection of ExtractFiles.
#include "ZipArchive.h"

#include <algorithm>

namespace {

constexpr std::uint32_t AttrsTested = 0x02 | 0x04 | 0x08 | 0x10; // hidden, system, volume, folder

std::string Slashes(std::string_view text) {
    std::string out(text);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

std::string_view LastComponent(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string LowerFolder(std::string_view path) {
    std::string folder = Slashes(path.substr(0, path.find_last_of("/\\") + 1));
    std::transform(folder.begin(), folder.end(), folder.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return folder;
}

} // namespace

TZABaseArchiver::Search TZABaseArchiver::PrepareSearch(std::string mask, int searchAttr,
                                                       const std::string& exclusionMask) const {
    const bool drive = mask.size() >= 2 && mask[1] == ':' &&
                       ((mask[0] >= 'A' && mask[0] <= 'Z') || (mask[0] >= 'a' && mask[0] <= 'z'));
    if (drive && Options.StorePath != spFullPathWithDrive)
        mask.erase(0, 2);
    Search search;
    search.Rec.CFindMask = Slashes(mask);
    search.Rec.ExclusionMask = exclusionMask;
    search.Rec.FFindAttr = searchAttr;
    search.Rec.ItemNo = 0;
    search.Mask = ZAMask(search.Rec.CFindMask);
    search.Rec.FWildCards = search.Mask.HasWildcards();
    search.Exclusion = ZAMask(Slashes(exclusionMask));
    search.MaskFolder = LowerFolder(search.Rec.CFindMask);
    return search;
}

TZABaseArchiver::Search TZABaseArchiver::PrepareSearch() const {
    Search search;
    search.Rec.UseProperties = true;
    search.Rec.FFindAttr = Options.SearchAttr;
    search.Rec.ItemNo = 0;
    for (const std::string& mask : FileMasks)
        search.Masks.emplace_back(Slashes(mask));
    for (const std::string& mask : ExclusionMasks)
        search.Exclusions.emplace_back(Slashes(mask));
    return search;
}

bool TZABaseArchiver::ItemMatches(const Search& search, int index) const {
    const TZADirArray& dir = FDirManager->CDir;
    const std::uint32_t attr = dir.AttributeBits(index);
    if ((attr & AttrsTested & ~static_cast<std::uint32_t>(search.Rec.FFindAttr)) != 0)
        return false;
    std::string scratch;
    const std::string_view name = dir.NameOf(index, scratch);
    if (search.Rec.UseProperties) {
        const std::string slashed = Slashes(name);
        const auto matches = [&](const ZAMask& mask) { return mask.Matches(slashed); };
        return std::any_of(search.Masks.begin(), search.Masks.end(), matches) &&
               std::none_of(search.Exclusions.begin(), search.Exclusions.end(), matches);
    }
    if (!Options.Recurse && LowerFolder(name) != search.MaskFolder)
        return false;
    std::string_view s = name;
    if (!s.empty() && (s.back() == '/' || s.back() == '\\'))
        s.remove_suffix(1);
    bool matched = search.Mask.Matches(s);
    // A mask with a '/' cannot match a last component, which has none.
    if (!matched && !search.Mask.HasSeparator())
        matched = search.Mask.Matches(LastComponent(s));
    return matched && !search.Exclusion.Matches(s);
}

int TZABaseArchiver::SearchFrom(const Search& search, int itemNo) const {
    const TZADirArray& dir = FDirManager->CDir;
    const int count = dir.Count();
    // A plain mask with a folder in it matches only names equal to it, so the name keys pick
    // the candidates without reading every name.
    const ZAMask& mask = search.Mask;
    if (!search.Rec.UseProperties && !mask.Empty() && !mask.HasWildcards() && mask.HasSeparator()) {
        const std::uint32_t key = ZAFoldedKey(mask.Pattern());
        const std::size_t length = mask.Pattern().size();
        for (int i = dir.NextWithKey(key, length, itemNo); i >= 0;
             i = dir.NextWithKey(key, length, i + 1))
            if (ItemMatches(search, i))
                return i;
        return -1;
    }
    for (int i = std::max(itemNo, 0); i < count; ++i)
        if (ItemMatches(search, i))
            return i;
    return -1;
}

void TZABaseArchiver::FillItem(const TDirItem& item, TZAArchiveItem& F) const {
    std::string s = Slashes(item.Name);
    if (!s.empty() && s.back() == '/')
        s.pop_back();
    const std::size_t slash = s.find_last_of('/');
    F.FileName = slash == std::string::npos ? s : s.substr(slash + 1);
    F.StoredPath = slash == std::string::npos ? std::string() : s.substr(0, slash + 1);
    F.CompressedSize = item.CompressedSize();
    F.UncompressedSize = item.UncompressedSize();
    F.CompressionRate = F.UncompressedSize == 0
                            ? 100.0
                            : std::max(0.0, (1.0 - static_cast<double>(F.CompressedSize) /
                                                       static_cast<double>(F.UncompressedSize)) *
                                                100.0);
    F.Encrypted = item.Encrypted();
    F.LastModFileDate = item.CentralDir.lastModDate;
    F.LastModFileTime = item.CentralDir.lastModTime;
    F.CRC = item.CentralDir.crc32;
    F.ExternalFileAttributes = item.CentralDir.externalAttr;
    F.Comment = AnsiCodePage.ToUtf8(item.Comment);
}

bool TZABaseArchiver::StartSearch(Search search, TZAArchiveItem& F) {
    RequireOpen();
    FSearch = std::make_unique<Search>(std::move(search));
    const int found = SearchFrom(*FSearch, 0);
    return Found(found, F);
}

bool TZABaseArchiver::Found(int index, TZAArchiveItem& F) {
    if (index < 0)
        return false;
    FSearch->Rec.ItemNo = index;
    FillItem(FDirManager->CDir.Item(index), F);
    F.Handle = FSearch->Rec;
    return true;
}

bool TZABaseArchiver::FindFirst(const std::string& FileMask, TZAArchiveItem& F, int SearchAttr,
                                const std::string& ExclusionMask) {
    return StartSearch(PrepareSearch(FileMask, SearchAttr, ExclusionMask), F);
}

bool TZABaseArchiver::FindFirst(TZAArchiveItem& F) {
    return StartSearch(PrepareSearch(), F);
}

bool TZABaseArchiver::FindNext(TZAArchiveItem& F) {
    if (!FActive || !FSearch)
        return false;
    return Found(SearchFrom(*FSearch, F.Handle.ItemNo + 1), F);
}

void TZABaseArchiver::TagEntries(const Search& search) {
    TZADirArray& dir = FDirManager->CDir;
    dir.ClearTags();
    FTagged.clear();
    for (int i = SearchFrom(search, 0); i >= 0; i = SearchFrom(search, i + 1)) {
        TDirItem& item = dir.Item(i);
        item.Tagged = true;
        item.Operation = poExtract;
        FTagged.push_back(i);
    }
}

void TZABaseArchiver::ExtractFiles(const std::string& FileMask, int SearchAttr,
                                   const std::string& ExclusionMask) {
    RequireOpen();
    TagEntries(PrepareSearch(FileMask, SearchAttr, ExclusionMask));
    RunExtraction();
}

void TZABaseArchiver::ExtractFiles() {
    RequireOpen();
    TagEntries(PrepareSearch());
    RunExtraction();
}
