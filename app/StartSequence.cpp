#include "app/StartSequence.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "app/MainWindow.h"
#include "forms/FormLayer.h"
#include "forms/gtk/GtkPlatform.h"

namespace qinvara {
namespace {

constexpr int kFatalStatus = 255;

// The program keeps no files, but it runs from its own folder all the same.
void EnterProgramFolder() {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) std::filesystem::current_path(self.parent_path(), error);
}

void GlobalInitialisation() {}
void ExitRoutine() {}

}  // namespace

int RunProgram() {
    EnterProgramFolder();
    std::string error;
    std::unique_ptr<forms::GtkPlatform> platform = forms::GtkPlatform::Open(error);
    if (!platform) {
        // Without a display there is nothing to show a box on.
        std::fprintf(stderr, "qinvara: the main window cannot be created: %s\n", error.c_str());
        return kFatalStatus;
    }
    forms::FormLayer layer(*platform);
    if (!platform->LoadPictures(error))
        layer.FailFatally("The main window cannot be created: " + error);
    GlobalInitialisation();
    layer.SetExitRoutine(&ExitRoutine);
    if (!layer.LoadStartupWindow(MainWindowForm())) {
        layer.FailFatally("The main window cannot be created.");
    }
    return layer.Run();
}

}  // namespace qinvara
