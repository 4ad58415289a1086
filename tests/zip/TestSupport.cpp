#include "TestSupport.h"

#include <cctype>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>

namespace ziptest {

std::string RowName(std::string_view what) {
    std::string name;
    bool wordStart = true;
    for (const char c : what) {
        const auto u = static_cast<unsigned char>(c);
        if (!std::isalnum(u)) {
            wordStart = true;
            continue;
        }
        name += wordStart ? static_cast<char>(std::toupper(u)) : c;
        wordStart = false;
    }
    return name;
}

TempDir::TempDir() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        FPath = base / ("kestrane-zip-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(FPath))
            break;
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    // Read-only folders left by a test would stop the removal.
    for (auto it = std::filesystem::recursive_directory_iterator(FPath, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(FPath, ec);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

ZAButton ScriptedPrompts::Next(const char* kind, const std::string& text) {
    kinds.emplace_back(kind);
    shown.push_back(text);
    if (answers.empty())
        return ZAButton::None;
    const ZAButton answer = answers.front();
    answers.pop_front();
    return answer;
}

bool ScriptedPrompts::AskPassword(const std::string& caption, std::string& password) {
    kinds.emplace_back("password");
    shown.push_back(caption);
    if (passwords.empty())
        return false;
    password = passwords.front();
    passwords.pop_front();
    return true;
}

OpenedZip::OpenedZip(const std::string& bytes, ZACodePage ansi) : out(dir / "out/") {
    zip.FileName = dir / "archive.zip";
    zip.AnsiCodePage = std::move(ansi);
    zip.Prompts = &prompts;
    WriteFile(zip.FileName, bytes);
    zip.OpenArchive(0);
    zip.BaseDir = out;
}

std::vector<std::string> OpenedZip::Names() const {
    std::vector<std::string> names;
    Dir().CDir.VisitItems([&](int, const TDirItem& item) { names.emplace_back(item.Name); });
    return names;
}

} // namespace ziptest
