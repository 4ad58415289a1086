#pragma once

// Shared helpers of the archive tests: a temporary folder, file access, scripted answers to the
// component's dialogs, and an archive opened from bytes.

#include "ZipArchive.h"
#include "ZipBuilder.h"

#include <deque>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ziptest {

// A fresh folder below the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return FPath; }
    // The folder with a trailing '/', as BaseDir takes it.
    std::string Base() const { return FPath.string() + "/"; }
    std::string operator/(const std::string& name) const { return (FPath / name).string(); }

private:
    std::filesystem::path FPath;
};

// The name of a row of a parameterised test, from its description: the words run together,
// each starting with a capital, every character other than a letter or digit left out.
std::string RowName(std::string_view what);

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool IsFile(const std::string& path);

// Answers the component's dialogs from a script and records what they showed.
class ScriptedPrompts : public ZAPrompts {
public:
    std::deque<ZAButton> answers;      // for the three boxes, in order; None when empty
    std::deque<std::string> passwords; // typed passwords; Cancel when empty
    std::vector<std::string> shown;    // every box text and password caption
    std::vector<std::string> kinds;    // which dialog showed each of them
    ZAButton AskAbortRetryIgnore(const std::string& text) override {
        return Next("abort-retry-ignore", text);
    }
    ZAButton AskAbortIgnore(const std::string& text) override { return Next("abort-ignore", text); }
    ZAButton AskOverwrite(const std::string& text) override { return Next("overwrite", text); }
    bool AskPassword(const std::string& caption, std::string& password) override;

private:
    ZAButton Next(const char* kind, const std::string& text);
};

// An archive written to a file in its own temporary folder and opened the program's way.
class OpenedZip {
public:
    explicit OpenedZip(const std::string& bytes, ZACodePage ansi = ZACodePage::Utf8());
    TZipArchive zip{"ZipArchive1"};
    TempDir dir;
    std::string out; // an empty extraction folder, set as BaseDir
    ScriptedPrompts prompts;
    const TZADirManager& Dir() const { return *zip.DMHandle(); }
    // The names in directory order.
    std::vector<std::string> Names() const;
};

} // namespace ziptest
