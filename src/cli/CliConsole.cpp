#include "cli/CliConsole.h"

#include "cli/ProgressLine.h"

#include <charconv>
#include <utility>

namespace quennel::cli {

namespace {
constexpr auto RedrawEvery = std::chrono::milliseconds(100);
constexpr const char* ProgramTitle = "Quennel";
} // namespace

CliConsole::CliConsole(std::ostream& out, std::ostream& err, bool showProgress)
    : Out(out), Err(err), ShowProgress(showProgress) {}

void CliConsole::EndProgress() {
    if (!ProgressShown)
        return;
    Err << "\r\x1b[K" << std::flush;
    ProgressShown = false;
}

void CliConsole::Print(const std::string& line) {
    EndProgress();
    Out << line << '\n' << std::flush;
}

void CliConsole::ShowStatus(const std::string& text) {
    if (!Muted)
        Print(text);
}

void CliConsole::AddResult(const std::string& line) {
    if (!Muted)
        Print(line);
}
void CliConsole::ShowChecksum(const std::string& caption) {
    Print(caption);
}

// The address display shows "01A5"; a lower address than the last starts a new pass.
void CliConsole::ShowAddress(const std::string& text) {
    if (!ShowProgress || State == nullptr)
        return;
    int32_t address = 0;
    std::from_chars(text.data(), text.data() + text.size(), address, 16);
    const auto now = std::chrono::steady_clock::now();
    if (address <= LastAddress || LastAddress < 0)
        PassStart = now;
    LastAddress = address;
    const bool last = address >= State->DeviceEnd;
    if (!last && ProgressShown && now - LastDrawn < RedrawEvery)
        return;
    LastDrawn = now;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - PassStart);
    Err << '\r' << ProgressLine(address, State->DeviceEnd, elapsed) << "\x1b[K" << std::flush;
    ProgressShown = true;
}

// A box has no buttons to press here: its title and text are printed and
// the program goes on as after OK.
void CliConsole::ShowMessageBox(const MessageBoxRequest& box) {
    std::string text;
    for (size_t at = 0; at < box.Text.size(); ++at)
        if (box.Text[at] != '\r' || box.Text.compare(at, 2, "\r\n") != 0)
            text += box.Text[at];
    if (text.empty())
        return;
    Print("[" + (box.Title.empty() ? std::string(ProgramTitle) : box.Title) + "] " + text);
}

void CliConsole::ProcessMessages() {
    Queue.ProcessMessages();
}
void CliConsole::WaitForMessages() {
    Queue.WaitForMessages();
}
void CliConsole::PostToMessageThread(std::function<void()> call) {
    Queue.Post(std::move(call));
}

} // namespace quennel::cli
