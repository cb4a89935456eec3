// Loading and saving the buffer from the window: the two dialogs, the file
// name each keeps, the status texts, and the start-up's reload. All reading
// and writing of buffer files goes through LoadOpenDialogFile and
// SaveSaveDialogFile.

#include "buffer/BufferFiles.h"

#include "buffer/FileType.h"
#include "buffer/IntegerText.h"
#include "console/MainForm.h"
#include "console/QtDialogs.h"

#include <QDir>

namespace quennel {

namespace {

// A dialog without a folder of its own opens in the current directory,
// which the last chosen file has left at its folder; it is told so rather
// than left to the toolkit's memory of where a dialog was last.
FileDialogRequest InCurrentFolder(FileDialogRequest request) {
    if (request.Folder.empty())
        request.Folder = QDir::currentPath().toStdString();
    return request;
}

// The chosen file's full path; the dialogs then open in its folder, which
// becomes the current directory as the chosen file's folder always does.
std::string FollowChosenFile(const std::string& chosen) {
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(chosen, error);
    if (error)
        path = chosen;
    QDir::setCurrent(QString::fromStdString(path.parent_path().string()));
    return path.string();
}

} // namespace

// Whether or not a file is chosen and loaded, the checksum is shown anew;
// StaticText4 names the file only when its data reached the buffer.
void TMainForm::Load_ButClick() {
    LockControls();
    LoadResult result = LoadResult::NotLoaded;
    if (const std::optional<std::string> chosen = Dialogs.ChooseOpenFile(InCurrentFolder(OpenDialog1))) {
        OpenDialog1.FileName = FollowChosenFile(*chosen);
        result = LoadNamedFile();
        if (result == LoadResult::Stopped)
            return;
    }
    // The checksum's own frame clears the fault flag and hides the result
    // list; a failed load stays marked and its reason on view, as does what
    // a file held past the buffer.
    const int32_t fault = State().StatusFault;
    Core().Frame.UpdateChecksum();
    State().StatusFault = fault;
    if (fault != 0 || result == LoadResult::LoadedInPart)
        ShowResults(true);
    UnlockControls();
}

// A save does not lock the commands and leaves StaticText4 as it is.
void TMainForm::Save_ButClick() {
    if (const std::optional<std::string> chosen = Dialogs.ChooseSaveFile(InCurrentFolder(SaveDialog1))) {
        SaveDialog1.FileName = FollowChosenFile(*chosen);
        if (State().FileType == BinaryFileType)
            SaveBinaryFile();
        else
            SaveHexFile();
    }
    UnlockControls();
}

// OpenDialog1's file by FileType; StaticText4 names it once its data
// reached the buffer.
TMainForm::LoadResult TMainForm::LoadNamedFile() {
    const LoadResult result = State().FileType == BinaryFileType ? LoadBinaryFile() : LoadHexFile();
    if (result == LoadResult::Loaded || result == LoadResult::LoadedInPart) {
        StaticText4->setText(QString::fromStdString("Last File Loaded in Buffer=" + OpenDialog1.FileName));
        FitStaticText(StaticText4);
    }
    return result;
}

TMainForm::LoadResult TMainForm::LoadBinaryFile() {
    return LoadOpenDialogFile(true);
}

TMainForm::LoadResult TMainForm::LoadHexFile() {
    return LoadOpenDialogFile(false);
}

void TMainForm::SaveBinaryFile() {
    SaveSaveDialogFile(true);
}

void TMainForm::SaveHexFile() {
    SaveSaveDialogFile(false);
}

// Reads OpenDialog1's file: as binary, or as text records of FileType's
// format. The text formats show their status first and let the window
// repaint before the file is read. A record whose checksum does not match
// asks the operator once whether to load the file anyway (files made by hand
// exist). A load is all or nothing: whatever stops it part-way leaves the
// buffer as it was. A field that is not hex is reported with the error
// report, and the commands are unlocked with the fault raised. A file that
// cannot be read, is no file that ends (a FIFO, a terminal), or holds no data
// or more than the device, is reported in red with the reason in the result
// list.
TMainForm::LoadResult TMainForm::LoadOpenDialogFile(bool binary) {
    const std::filesystem::path path = OpenDialog1.FileName;
    if (!binary) {
        ShowStatus(std::string(LoadingHexFileStatus));
        ProcessMessages();
    }
    LoadRequest request;
    request.DeviceEnd = State().DeviceEnd;
    request.FileType = binary ? BinaryFileType : State().FileType;
    request.Ask = [this, &path](const std::string& mismatch) {
        return Dialogs.AskYesNo(ProgramTitle, path.filename().string() + ", " + mismatch +
                                                  ".\n\nThe file may be damaged. Load it anyway?");
    };
    FileOutcome outcome;
    try {
        outcome = LoadBufferFile(State().DataBuffer, path, request);
    } catch (const EConvertError& error) {
        ShowErrorReport(error.what());
        State().StatusFault = 1;
        ShowStatus(std::string(FileNotLoadedStatus));
        ShowFileProblem(path, "line " + std::to_string(error.Line) + ": " + error.what() +
                                  "; nothing was loaded, the buffer is as it was");
        UnlockControls();
        return LoadResult::Stopped;
    }
    if (!outcome.Status.empty())
        ShowStatus(std::string(outcome.Status));
    if (outcome.Fault) {
        State().StatusFault = 1;
        ShowFileProblem(path, outcome.Detail);
    } else if (!outcome.Detail.empty()) {
        // Data past the buffer's end (an EPROM's dump, say) was left out:
        // the file is then not the part's image.
        ShowFileProblem(path, outcome.Detail);
        return LoadResult::LoadedInPart;
    }
    return outcome.Fault ? LoadResult::NotLoaded : LoadResult::Loaded;
}

// Why a file could not be loaded or saved, in the result list, which stays
// on view after the command as a fault list does.
void TMainForm::ShowFileProblem(const std::filesystem::path& path, const std::string& detail) {
    ClearResults();
    AddResult(path.string() + ":");
    AddResult("  " + (detail.empty() ? std::string("the file could not be used") : detail));
    ShowResults(true);
}

// Writes SaveDialog1's file from buffer[0..DeviceEnd]. The status line's
// colour follows the text a save shows, so that a fault left by an earlier
// command never makes a good save look failed.
void TMainForm::SaveSaveDialogFile(bool binary) {
    const std::filesystem::path path = SaveDialog1.FileName;
    if (!binary) {
        ShowStatus(std::string(SavingHexFileStatus));
        ProcessMessages();
    }
    const FileOutcome outcome =
        SaveBufferFile(State().DataBuffer, State().DeviceEnd, binary ? BinaryFileType : State().FileType, path);
    if (!outcome.Status.empty()) {
        ShowStatus(std::string(outcome.Status));
        State().StatusFault = outcome.Fault ? 1 : 0;
    }
    if (outcome.Fault)
        ShowFileProblem(path, outcome.Detail);
}

} // namespace quennel
