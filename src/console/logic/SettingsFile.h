#pragma once
// The settings file: nine text lines in the directory the program started
// in, read once at start-up and written once at shutdown. Numbers are signed
// decimal; each line ends in CR LF.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quennel {

inline constexpr std::string_view SettingsFileName = "Quennel.Cfg";

// The lines of the file, counted from 1.
enum SettingsLine : int {
    DeviceRowLine = 1,
    FileTypeLine,
    DeviceEndLine,
    WidthLine,
    HeightLine,
    TopLine,
    LeftLine,
    ButtonSizeLine,
    LastFileLine,
};
inline constexpr int SettingsLineCount = LastFileLine;

// The process's current directory, without a trailing separator except for
// the root; "." when it cannot be found out.
std::string CurrentSettingsDirectory();

// directory + "/Quennel.Cfg" (the root gives "//Quennel.Cfg", which the file
// system takes as well).
std::string SettingsFilePath(const std::string& directory);

// The file's first nine lines. A line ends at CR LF, as the program writes
// it, or at a lone CR or LF, as other editors write it. The end of the file
// ends the last line.
class SettingsLines {
public:
    // Reads the file into memory and closes it before returning, so that a
    // bad line found later never keeps it open. Nothing when it is no
    // regular file or cannot be read.
    static std::optional<SettingsLines> Read(const std::filesystem::path& path);

    explicit SettingsLines(std::string_view text);

    // Line k, 1 to 9; empty when the file ends before it.
    const std::string& Line(int k) const;
    // Line k as an integer (leading blanks, a sign, decimal or "$" hex and
    // nothing after); throws EConvertError naming the line's text otherwise.
    int32_t Number(int k) const;
    // How many lines the file has, at most 9.
    int Count() const { return static_cast<int>(Lines.size()); }

private:
    std::vector<std::string> Lines;
};

// Line 3 as the program may use it: a device end outside the buffer (only a
// hand-edited file has one) is pulled to the buffer's nearer end.
int32_t DeviceEndFromSettings(int32_t value);
// Line 2 as the program may use it: a file type it does not know is binary.
int32_t FileTypeFromSettings(int32_t value);

// What shutdown writes, in file order.
struct Settings {
    int32_t DeviceRow = 0;
    int32_t FileType = 0;
    int32_t DeviceEnd = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Top = 0;
    int32_t Left = 0;
    int32_t ButtonSize = 0;
    std::string LastFile;
};

// The file's bytes for these settings.
std::string SettingsText(const Settings& settings);

// Writes the file beside the old one and renames it over it once complete,
// so that a crash never leaves half a file. False when it could not be written
// (the old file then stays as it was).
bool WriteSettingsFile(const std::filesystem::path& path, const Settings& settings);

// A settings file the start-up could not use (a line that does not convert,
// something that is no regular file or cannot be read) holds the operator's
// hand edits: before a new one is written it is moved aside, to path + ".bad"
// or, when that is taken, ".bad.2", ".bad.3" ... The name it got, or nothing
// when it could not be moved (then nothing may be written over it).
std::optional<std::filesystem::path> KeepUnusableSettings(const std::filesystem::path& path);

} // namespace quennel
