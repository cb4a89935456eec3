// The shutdown: the running pass is stopped, the timer stopped, the port
// given back, and the settings file written for the next start.

#include "console/MainForm.h"
#include "console/logic/SettingsFile.h"

namespace quennel {

// Runs once, after any command the close arrived in has returned. The file
// is written beside the old one and renamed over it, so that a crash here
// never leaves a half-written file to stop the next start-up. Nothing is
// written when the start-up never read it (the window closed during the
// search), so that the operator's settings are not replaced by defaults;
// a file the start-up could not use is moved aside first, for the same reason.
void TMainForm::FormCloseQuery() {
    if (ShutDownDone)
        return;
    ShutDownDone = true;
    Core().ShutDown();
    if (!SettingsDirectory.empty()) {
        const SharedState& state = State();
        const Settings settings{
            state.DeviceRow, state.FileType,      state.DeviceEnd, width(), height(), y(), x(),
            ScaleTag,        OpenDialog1.FileName};
        const std::filesystem::path path = SettingsFilePath(SettingsDirectory);
        if (!SettingsUnusable || KeepUnusableSettings(path))
            WriteSettingsFile(path, settings);
    }
    ProcessMessages();
}

} // namespace quennel
