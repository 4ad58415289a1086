// Kestrane: BlackBerry 10 utilities. Starts the one window and runs until it is closed.

#include "BarInfo.h"
#include "CommandReaper.h"
#include "Fonts.h"
#include "HandlerGuard.h"
#include "TempFolder.h"
#include "TfrmBB10.h"

#include <QApplication>

#include <cstdio>
#include <exception>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QGuiApplication::setDesktopFileName(QStringLiteral("kestrane"));
    kestrane::RegisterWindowFonts();
    // The manifests' private folder goes also when Kestrane is killed; one left by a run that
    // was killed with its command reaper goes now.
    kestrane::SetTempDirectoryCreatedHook(kestrane::CommandReaper::removeAtEnd);
    kestrane::RemovePrivateFoldersOfEndedRuns();
    try {
        kestrane::TfrmBB10 frmBB10(kestrane::SystemServices());
        frmBB10.show();
        return QApplication::exec();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(kestrane::ExecutableBaseName()), error.what());
        return 1;
    }
}
