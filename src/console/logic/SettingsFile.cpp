#include "console/logic/SettingsFile.h"

#include "buffer/BufferImage.h"
#include "buffer/FileType.h"
#include "buffer/IntegerText.h"
#include "buffer/SafeFileWrite.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <system_error>

namespace quennel {

namespace {

// Far more than nine lines of settings ever take; the cap keeps a settings
// name that points at something endless from being read for ever.
constexpr std::streamsize MaxSettingsBytes = 1 << 20;

const std::string NoLine;

} // namespace

std::string CurrentSettingsDirectory() {
    std::error_code error;
    const std::filesystem::path directory = std::filesystem::current_path(error);
    if (error || directory.empty())
        return ".";
    return directory.string();
}

std::string SettingsFilePath(const std::string& directory) {
    return directory + "/" + std::string(SettingsFileName);
}

std::optional<SettingsLines> SettingsLines::Read(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    std::string text;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return std::nullopt;
        text.resize(static_cast<size_t>(MaxSettingsBytes));
        in.read(text.data(), MaxSettingsBytes);
        if (in.bad())
            return std::nullopt;
        text.resize(static_cast<size_t>(in.gcount()));
    }
    return SettingsLines(text);
}

SettingsLines::SettingsLines(std::string_view text) {
    size_t position = 0;
    while (position < text.size() && Lines.size() < static_cast<size_t>(SettingsLineCount)) {
        const size_t end = text.find_first_of("\r\n", position);
        if (end == std::string_view::npos) {
            Lines.emplace_back(text.substr(position));
            break;
        }
        Lines.emplace_back(text.substr(position, end - position));
        position = end + 1;
        if (text[end] == '\r' && position < text.size() && text[position] == '\n')
            ++position;
    }
}

const std::string& SettingsLines::Line(int k) const {
    if (k < 1 || k > Count())
        return NoLine;
    return Lines[static_cast<size_t>(k - 1)];
}

int32_t SettingsLines::Number(int k) const {
    return StrToInt(Line(k));
}

int32_t DeviceEndFromSettings(int32_t value) {
    return ClampDeviceEnd(value);
}

int32_t FileTypeFromSettings(int32_t value) {
    return IsKnownFileType(value) ? value : BinaryFileType;
}

std::string SettingsText(const Settings& settings) {
    std::string text;
    for (int32_t value : {settings.DeviceRow, settings.FileType, settings.DeviceEnd, settings.Width,
                          settings.Height, settings.Top, settings.Left, settings.ButtonSize}) {
        text += std::to_string(value);
        text += "\r\n";
    }
    text += settings.LastFile;
    text += "\r\n";
    return text;
}

bool WriteSettingsFile(const std::filesystem::path& path, const Settings& settings) {
    std::string reason;
    return WriteFileSafely(path, SettingsText(settings), reason);
}

std::optional<std::filesystem::path> KeepUnusableSettings(const std::filesystem::path& path) {
    constexpr int MostKept = 1000;
    for (int n = 1; n <= MostKept; ++n) {
        std::filesystem::path kept = path;
        kept += n == 1 ? ".bad" : ".bad." + std::to_string(n);
        // A rename moves whatever is there (a FIFO too) without opening it,
        // and never over a copy kept before.
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, kept.c_str(), RENAME_NOREPLACE) == 0)
            return kept;
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

} // namespace quennel
