// Where the deploy tool is taken from: the chosen folder, KESTRANE_DEPLOY_TOOL, the BlackBerry 10
// Native SDK (newest host first), ~/.local/share/kestrane/deploy-tool, else the bundled
// simulator; a place that cannot be used is named with what it lacks.

#include "DeployToolLookup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrane;

namespace {

class DeployToolLookup : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.isValid());
        ASSERT_TRUE(QDir(home_.path()).mkpath("kestrane/lib"));
        Touch("kestrane/lib/BarDeploy.jar"); // the bundled simulator: no companions
        places_.appDir = home_.filePath("kestrane");
        places_.sdkRoots = {home_.filePath("bbndk"), home_.filePath("opt/bbndk")};
        places_.userFolder = home_.filePath(".local/share/kestrane/deploy-tool");
    }

    void Touch(const QString& relative) {
        QDir().mkpath(QFileInfo(home_.filePath(relative)).path());
        QFile file(home_.filePath(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    // A folder with the tool's seven jars, less those named in without.
    QString Tool(const QString& relative, const QStringList& without = {}) {
        for (const QString& jar : DeployToolJars())
            if (!without.contains(jar))
                Touch(relative + "/" + jar);
        QDir().mkpath(home_.filePath(relative));
        return home_.filePath(relative);
    }
    QString SdkFolder(const QString& root, const QString& host) {
        return root + "/" + host + "/linux/x86/usr/lib";
    }

    QTemporaryDir home_;
    DeployToolPlaces places_;
};

TEST_F(DeployToolLookup, NothingFoundIsTheBundledSimulator) {
    const DeployToolFound found = FindDeployTool(places_);
    EXPECT_TRUE(found.simulator);
    EXPECT_EQ(found.folder, home_.filePath("kestrane/lib"));
    EXPECT_EQ(found.passedOver, QStringList());
}

TEST_F(DeployToolLookup, TheNewestSdkHostWins) {
    Tool(SdkFolder("bbndk", "host_10_2_0_15"));
    const QString newest = Tool(SdkFolder("bbndk", "host_10_3_1_12"));
    Tool(SdkFolder("bbndk", "host_10_3_0_9"));
    const DeployToolFound found = FindDeployTool(places_);
    EXPECT_FALSE(found.simulator);
    EXPECT_EQ(found.folder, newest);
    EXPECT_EQ(found.source, "the BlackBerry 10 Native SDK");
}

// An incomplete folder is named with what it lacks, and the lookup goes on.
TEST_F(DeployToolLookup, AFolderWithAJarMissingIsNamedAndPassedOver) {
    Tool(SdkFolder("bbndk", "host_10_3_1_12"), {"httpcore-4.0.1.jar"});
    const QString older = Tool(SdkFolder("opt/bbndk", "host_10_2_0_15"));
    const DeployToolFound found = FindDeployTool(places_);
    EXPECT_EQ(found.folder, older);
    ASSERT_EQ(found.passedOver.size(), 1);
    EXPECT_TRUE(found.passedOver[0].endsWith("httpcore-4.0.1.jar missing"))
        << found.passedOver[0].toStdString();
}

TEST_F(DeployToolLookup, TheOrderOfThePlaces) {
    const QString user = Tool(".local/share/kestrane/deploy-tool");
    EXPECT_EQ(FindDeployTool(places_).folder, user);
    const QString sdk = Tool(SdkFolder("bbndk", "host_10_3_1_12"));
    EXPECT_EQ(FindDeployTool(places_).folder, sdk);
    places_.environmentFolder = Tool("from-environment");
    EXPECT_EQ(FindDeployTool(places_).source, "KESTRANE_DEPLOY_TOOL");
    places_.chosenFolder = Tool("chosen");
    EXPECT_EQ(FindDeployTool(places_).folder, places_.chosenFolder);
    EXPECT_EQ(FindDeployTool(places_).source, "the folder you chose");
}

// A chosen folder that was removed since is said so; the lookup goes on with the next place.
TEST_F(DeployToolLookup, AChosenFolderThatIsGoneIsSaidSo) {
    places_.chosenFolder = home_.filePath("removed");
    places_.environmentFolder = Tool("from-environment");
    const DeployToolFound found = FindDeployTool(places_);
    EXPECT_EQ(found.folder, places_.environmentFolder);
    ASSERT_EQ(found.passedOver.size(), 1);
    EXPECT_TRUE(found.passedOver[0].endsWith("removed: no such folder"))
        << found.passedOver[0].toStdString();
}

// The real tool copied into the program's lib folder, companions and all, is no simulator.
TEST_F(DeployToolLookup, ARealToolInTheProgramsLibFolderIsReal) {
    Tool("kestrane/lib");
    EXPECT_FALSE(FindDeployTool(places_).simulator);
}

TEST(DeployToolVersion, ReadsTheToolsAnswer) {
    EXPECT_EQ(DeployToolVersion("blackberry-deploy version 1.4.0\n"), "1.4.0");
    EXPECT_EQ(DeployToolVersion("Error: Deploy command is missing\n"), "");
}

} // namespace
