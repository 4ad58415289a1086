#include "RegistryView.h"
#include "Error.h"
#include "InMemoryRegistryView.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>

#include <sys/stat.h>
#include <unistd.h>

using namespace kestrane;
using kestrane::doubles::InMemoryRegistryView;
using ValueType = RegistryView::ValueType;

namespace {

QString firstKey(const char* name) {
    return JavaFirstBaseKey + '\\' + QLatin1String(name);
}
QString secondKey(const char* name) {
    return JavaSecondBaseKey + '\\' + QLatin1String(name);
}

TEST(ReadRegistryString, GivesTheDefaultForAnythingButAStoredText) {
    InMemoryRegistryView registry;
    const QString key = firstKey("1.8");
    registry.setString(key, "Empty", "");
    registry.setValue(key, "Number", ValueType::Other, "42");
    registry.setString(key, "Terminated", QStringLiteral("C:/jre") + QChar(0) + "junk");
    registry.setValue(key, "Expandable", ValueType::ExpandString, "%JAVA%/jre");

    EXPECT_EQ(ReadRegistryString(registry, key, "Absent", "dflt"), "dflt");
    EXPECT_EQ(ReadRegistryString(registry, key, "Empty", "dflt"), "dflt");
    EXPECT_EQ(ReadRegistryString(registry, key, "Number", "dflt"), "dflt");
    EXPECT_EQ(ReadRegistryString(registry, key, "Terminated", "dflt"), "C:/jre");
    EXPECT_EQ(ReadRegistryString(registry, key, "Expandable", ""), "%JAVA%/jre");
}

TEST(ReadRegistryString, ThrowsTheSystemMessageWhenTheKeyCannotBeOpened) {
    InMemoryRegistryView registry;
    registry.denyAccess(firstKey("1.8"), "Access is denied.");
    try {
        ReadRegistryString(registry, firstKey("1.8"), "JavaHome", "");
        FAIL() << "no exception";
    } catch (const Error& error) {
        EXPECT_EQ(error.message(), "Access is denied.");
    }
    EXPECT_THROW(ReadRegistryString(registry, firstKey("absent"), "JavaHome", ""), Error);
}

TEST(DiscoverJavaBinDir, TakesTheFirstSubKeyWithAHomeFolder) {
    InMemoryRegistryView registry;
    registry.addKey(firstKey("1.5"));                                              // no JavaHome
    registry.setString(firstKey("1.6"), "JavaHome", "");                           // an empty one
    registry.setValue(firstKey("1.7"), "JavaHome", ValueType::Other, "/opt/jre7"); // not a text
    registry.setValue(firstKey("1.8"), "JavaHome", ValueType::ExpandString, "%JRE%/");
    registry.setString(firstKey("1.9"), "JavaHome", "/opt/jre9");
    registry.setString(secondKey("1.10"), "JavaHome", "/opt/jre10");

    EXPECT_EQ(DiscoverJavaBinDir(registry), "%JRE%//bin"); // unexpanded, trailing separator kept
    EXPECT_FALSE(registry.consultedKeys().contains(JavaSecondBaseKey));
}

TEST(DiscoverJavaBinDir, SearchesTheSecondBaseKeyOnlyWhenTheFirstGivesNothing) {
    InMemoryRegistryView firstUseless;
    firstUseless.addKey(firstKey("1.8"));
    firstUseless.setString(secondKey("1.7"), "JavaHome", "/opt/jre7");
    EXPECT_EQ(DiscoverJavaBinDir(firstUseless), "/opt/jre7/bin");

    InMemoryRegistryView onlySecond;
    onlySecond.setString(secondKey("1.6"), "JavaHome", "/opt/jre6");
    EXPECT_EQ(DiscoverJavaBinDir(onlySecond), "/opt/jre6/bin");

    InMemoryRegistryView neither;
    EXPECT_EQ(DiscoverJavaBinDir(neither), "");
    EXPECT_EQ(neither.consultedKeys(), (QStringList{JavaFirstBaseKey, JavaSecondBaseKey}));
}

TEST(DiscoverJavaBinDir, StopsWithTheErrorOfAnUnreadableSubKey) {
    InMemoryRegistryView registry;
    registry.addKey(firstKey("1.7"));
    registry.denyAccess(firstKey("1.8"), "Access is denied.");
    registry.setString(firstKey("1.9"), "JavaHome", "/opt/jre9");
    registry.setString(secondKey("1.6"), "JavaHome", "/opt/jre6");
    EXPECT_THROW(DiscoverJavaBinDir(registry), Error);
    EXPECT_FALSE(registry.consultedKeys().contains(firstKey("1.9")));

    // A runtime found before the unreadable sub-key ends the search before it is reached.
    registry.setString(firstKey("1.7"), "JavaHome", "/opt/jre7");
    EXPECT_EQ(DiscoverJavaBinDir(registry), "/opt/jre7/bin");
}

// A temporary folder tree standing for /usr/lib/jvm or /usr/java.
class JvmFolderTree : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temporary_.isValid());
        // Reachable by an unprivileged user too, for the permission test.
        ASSERT_EQ(::chmod(QFile::encodeName(temporary_.path()).constData(), 0755), 0);
    }
    QString path(const QString& relative) const { return temporary_.filePath(relative); }
    void makeFolder(const QString& relative) const { ASSERT_TRUE(QDir().mkpath(path(relative))); }
    void makeRuntime(const QString& relative) const {
        makeFolder(relative + "/bin");
        QFile launcher(path(relative + "/bin/java"));
        ASSERT_TRUE(launcher.open(QIODevice::WriteOnly));
    }

    QTemporaryDir temporary_;
};

TEST_F(JvmFolderTree, ListsFoldersAndKnowsTheHomeOfThoseWithALauncher) {
    makeRuntime("jvm/java-17");
    makeFolder("jvm/a-not-a-runtime");
    makeFolder("jvm/b-launcher-is-a-folder/bin/java");
    ASSERT_TRUE(QFile::link(path("jvm/java-17"), path("jvm/default-java")));
    ASSERT_TRUE(QFile::link(path("jvm/gone"), path("jvm/dangling")));
    QFile(path("jvm/.java-17.jinfo")).open(QIODevice::WriteOnly);
    const auto view = MakeJvmFolderRegistryView(path("jvm/"), path("absent"));

    EXPECT_EQ(
        view->subKeyNames(JavaFirstBaseKey),
        (QStringList{"a-not-a-runtime", "b-launcher-is-a-folder", "default-java", "java-17"}));
    EXPECT_EQ(view->subKeyNames(firstKey("java-17")), QStringList());
    EXPECT_EQ(view->value(firstKey("default-java"), "JavaHome")->data, path("jvm/default-java"));
    EXPECT_FALSE(view->value(firstKey("a-not-a-runtime"), "JavaHome"));
    EXPECT_FALSE(view->value(firstKey("b-launcher-is-a-folder"), "JavaHome"));
    EXPECT_FALSE(view->value(firstKey("java-17"), "Other"));
    EXPECT_FALSE(view->value(JavaFirstBaseKey, "JavaHome"));
    EXPECT_EQ(DiscoverJavaBinDir(*view), path("jvm/default-java/bin"));
}

TEST_F(JvmFolderTree, ReportsKeysThatDoNotExist) {
    makeRuntime("java/jre");
    makeRuntime("java/jre/sub");
    const auto view = MakeJvmFolderRegistryView(path("absent"), path("java"));

    QString errorText;
    EXPECT_FALSE(view->openKey(JavaFirstBaseKey, &errorText));
    EXPECT_EQ(errorText, "No such file or directory");
    EXPECT_FALSE(view->subKeyNames(JavaFirstBaseKey));
    for (const QString& key : {secondKey("none"), secondKey(".."), secondKey("jre\\sub"),
                               secondKey("jre/sub"), QStringLiteral("SOFTWARE\\Other")})
        EXPECT_FALSE(view->openKey(key, nullptr)) << key.toStdString();
    EXPECT_EQ(DiscoverJavaBinDir(*view), path("java/jre/bin"));
}

// Folders an unprivileged user cannot list or search. The check runs in a child process that
// gives up root's rights first, since root passes every permission check.
TEST_F(JvmFolderTree, AnUnreadableRuntimeFolderStopsTheDiscoveryWithTheSystemMessage) {
    makeRuntime("jvm/z-runtime");
    const std::pair<const char*, mode_t> lockedFolders[] = {
        {"a-no-access", 0000}, {"b-no-search", 0755 & ~0111}, {"c-no-listing", 0311}};
    for (const auto& [name, mode] : lockedFolders) {
        makeRuntime(QStringLiteral("jvm/") + name);
        ASSERT_EQ(::chmod(QFile::encodeName(path(QStringLiteral("jvm/") + name)).constData(), mode),
                  0);
    }
    const auto view = MakeJvmFolderRegistryView(path("jvm"), path("absent"));

    const auto checkAsUnprivilegedUser = [&] {
        if (::geteuid() == 0 && ::setuid(65534) != 0)
            std::exit(2);
        for (const auto& [name, mode] : lockedFolders) {
            try {
                ReadRegistryString(*view, firstKey(name), "JavaHome", "");
                std::cerr << name << " was read";
                std::exit(1);
            } catch (const Error& error) {
                if (error.message() != "Permission denied") {
                    std::cerr << name << ": " << error.what();
                    std::exit(1);
                }
            }
        }
        try {
            DiscoverJavaBinDir(*view);
        } catch (const Error&) {
            std::exit(0);
        }
        std::exit(1);
    };
    EXPECT_EXIT(checkAsUnprivilegedUser(), ::testing::ExitedWithCode(0), "");

    for (const auto& [name, mode] : lockedFolders) // so that the tree can be removed by anyone
        ::chmod(QFile::encodeName(path(QStringLiteral("jvm/") + name)).constData(), 0755);
}

} // namespace
