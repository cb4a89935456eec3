#include "buffer/BufferReaders.h"

#include "buffer/FileType.h"
#include "buffer/IntegerText.h"

#include <array>
#include <string>

namespace quennel {

namespace {

// Only this much of a line is ever looked at: its mark and the 160
// characters after it, the line end included.
constexpr size_t ExaminedLineLength = 161;
constexpr char EndOfText = 0x1A;

class HexTextReader {
public:
    HexTextReader(DataImage& buffer, int32_t deviceEnd, int32_t fileType, std::istream& in)
        : Buffer(buffer), DeviceEnd(ClampDeviceEnd(deviceEnd)), FileType(fileType), In(in) {}

    bool Run() {
        while (!EndFlag && ReadLine())
            ParseLine();
        return !In.bad();
    }

private:
    DataImage& Buffer;
    const int32_t DeviceEnd;
    const int32_t FileType;
    std::istream& In;

    std::string HexLine; // what is left of the line being parsed
    int64_t LoadAddress = 0;
    bool EndFlag = false;
    bool TextEnded = false;

    // The next line, its CR or LF included: CR and LF each end a line of
    // their own. Characters past the examined length are read and dropped.
    bool ReadLine() {
        HexLine.clear();
        while (!TextEnded) {
            const int next = In.get();
            if (next == std::char_traits<char>::eof() || next == EndOfText) {
                TextEnded = true;
                break;
            }
            const char c = static_cast<char>(next);
            if (HexLine.size() < ExaminedLineLength)
                HexLine += c;
            if (c == '\r' || c == '\n')
                return true;
        }
        return !HexLine.empty();
    }

    std::string Cut(size_t length) {
        std::string field = HexLine.substr(0, length);
        HexLine.erase(0, field.size());
        return field;
    }

    int32_t CutHex(size_t length) { return StrToInt("$" + Cut(length)); }

    void ParseLine() {
        const char mark = Cut(1).front();
        if (FileType == IntelHexFileType && mark == ':')
            ParseIntelRecord();
        else if (FileType == MotorolaHexFileType && mark == 'S')
            ParseSRecord();
        else if (FileType == AsciiHexFileType)
            ParseAsciiLine(mark);
    }

    void ParseIntelRecord() {
        const int32_t count = CutHex(2);
        LoadAddress = CutHex(4);
        const int32_t type = CutHex(2);
        if (type == 0)
            StoreData(count);
        else if (type == 1)
            EndFlag = true;
        // Other types, segment and linear addresses among them, move nothing.
    }

    void ParseSRecord() {
        const std::string typeField = Cut(1);
        const char typeChar = typeField.empty() ? '0' : typeField.front();
        const int type = (typeChar >= '0' && typeChar <= '9') ? typeChar - '0' : 0;
        if (type >= 7) {
            EndFlag = true;
            return;
        }
        if (type < 1 || type > 3)
            return;
        const int32_t count = CutHex(2);
        const size_t addressDigits = 2 + 2 * static_cast<size_t>(type); // S1 4, S2 6, S3 8
        LoadAddress = CutHex(addressDigits);
        StoreData(count - 2 - type);
    }

    // The start address wraps into the device; the bytes of one record do
    // not, and those past the buffer's end are dropped.
    void StoreData(int32_t count) {
        LoadAddress &= DeviceEnd;
        for (int32_t i = 0; i < count; ++i)
            Store(LoadAddress + i, CutHex(2));
    }

    // An ASCII line is read whole, its mark included; the load address runs
    // on from line to line and is never wrapped.
    void ParseAsciiLine(char mark) {
        HexLine.insert(HexLine.begin(), mark);
        const size_t pairs = HexLine.size() / 2;
        for (size_t i = 0; i < pairs; ++i)
            Store(LoadAddress++, CutHex(2));
    }

    void Store(int64_t address, int32_t value) {
        if (address >= 0 && address < BufferSize)
            Buffer[static_cast<size_t>(address)] = static_cast<uint8_t>(value & 0xFF);
    }
};

} // namespace

bool ReadBinaryImage(DataImage& buffer, std::istream& in) {
    std::array<char, BufferSize> block{};
    in.read(block.data(), BufferSize);
    const auto count = static_cast<size_t>(in.gcount());
    for (size_t i = 0; i < count; ++i)
        buffer[i] = static_cast<uint8_t>(block[i]);
    return !in.bad();
}

bool ReadHexText(DataImage& buffer, int32_t deviceEnd, int32_t fileType, std::istream& in) {
    return HexTextReader(buffer, deviceEnd, fileType, in).Run();
}

} // namespace quennel
