#include "buffer/BufferReaders.h"

#include "buffer/FileType.h"
#include "buffer/IntegerText.h"

#include <algorithm>
#include <array>
#include <vector>

namespace quennel {

namespace {

constexpr char EndOfText = 0x1A;

std::string LinePrefix(int line) {
    return "line " + std::to_string(line) + ": ";
}

std::string AddressText(int64_t address) {
    return HexDigits(static_cast<uint32_t>(address), address > 0xFFFF ? 8 : 4);
}

// Why a text file gave no data, in the words of its format.
std::string NoDataDetail(int32_t fileType) {
    switch (fileType) {
    case IntelHexFileType:
        return "no Intel hex data record in the file";
    case MotorolaHexFileType:
        return "no S1, S2 or S3 data record in the file";
    case AsciiHexFileType:
        return "no hex digits in the file";
    default:
        return "file type " + std::to_string(fileType) + " has no record format";
    }
}

// One record as read from its line, before anything of it is stored.
struct Record {
    int64_t FileAddress = 0; // as the file gives it
    std::vector<uint8_t> Data;
    unsigned Sum = 0; // of every byte the checksum covers
};

class HexTextReader {
public:
    HexTextReader(DataImage& buffer, int32_t deviceEnd, int32_t fileType, std::string_view text,
                  const ChecksumQuestion& ask)
        : Buffer(buffer), DeviceEnd(ClampDeviceEnd(deviceEnd)), FileType(fileType), Text(text), Ask(ask) {}

    LoadReport Run() {
        if (Text.empty())
            return Fail(LoadProblem::NoData, "the file is empty", 0);
        try {
            while (!EndFlag && Report.Problem == LoadProblem::None && ReadLine())
                ParseLine();
        } catch (EConvertError& error) {
            error.Line = LineNumber;
            throw;
        }
        if (Report.Problem == LoadProblem::None && Report.LastAddress < 0)
            return Fail(LoadProblem::NoData, NoDataDetail(FileType), 0);
        return Report;
    }

private:
    DataImage& Buffer;
    const int32_t DeviceEnd;
    const int32_t FileType;
    const std::string_view Text;
    const ChecksumQuestion& Ask;

    size_t Position = 0;
    bool TextEnded = false;
    bool LastLineEndedInCr = false;
    int LineNumber = 0;

    std::string_view HexLine; // what is left of the line being parsed
    bool LineHasEnd = false;  // it ends in CR or LF, not at the end of the text
    int64_t LoadAddress = 0;
    bool EndFlag = false;
    bool ChecksumsLetPass = false;

    // Which cells this load has filled, and from which file address.
    std::array<bool, BufferSize> Filled{};
    std::array<int64_t, BufferSize> FilledFrom{};

    LoadReport Report;

    LoadReport Fail(LoadProblem problem, std::string detail, int line) {
        Report.Problem = problem;
        Report.Line = line;
        Report.Detail = line > 0 ? LinePrefix(line) + detail : detail;
        return Report;
    }

    // The next line, its CR or LF included: CR and LF each end a line of
    // their own, but the LF of a CR LF pair does not count as a new line.
    bool ReadLine() {
        if (TextEnded || Position >= Text.size())
            return false;
        if (!(LastLineEndedInCr && Text[Position] == '\n'))
            ++LineNumber;
        const size_t end = Text.find_first_of("\r\n\x1A", Position);
        if (end == std::string_view::npos || Text[end] == EndOfText) {
            const size_t stop = end == std::string_view::npos ? Text.size() : end;
            HexLine = Text.substr(Position, stop - Position);
            LineHasEnd = false;
            TextEnded = true;
            return !HexLine.empty();
        }
        HexLine = Text.substr(Position, end + 1 - Position);
        LineHasEnd = true;
        LastLineEndedInCr = Text[end] == '\r';
        Position = end + 1;
        return true;
    }

    std::string_view Cut(size_t length) {
        const std::string_view field = HexLine.substr(0, length);
        HexLine.remove_prefix(field.size());
        return field;
    }

    // A field cut short by the end of its line never converts from what is left.
    int32_t CutHex(size_t length) {
        const std::string_view field = Cut(length);
        std::string text = "$";
        text += field;
        if (field.size() < length)
            throw EConvertError(text);
        return StrToInt(text);
    }

    uint8_t CutByte(unsigned& sum) {
        const auto value = static_cast<uint8_t>(CutHex(2));
        sum += value;
        return value;
    }

    void ParseLine() {
        const char mark = HexLine.front();
        if (FileType == IntelHexFileType && mark == ':') {
            HexLine.remove_prefix(1);
            ParseIntelRecord();
        } else if (FileType == MotorolaHexFileType && mark == 'S') {
            HexLine.remove_prefix(1);
            ParseSRecord();
        } else if (FileType == AsciiHexFileType) {
            ParseAsciiLine();
        }
    }

    // The data bytes of a record; on a conversion failure the bytes read
    // before the bad field are stored when the record holds data.
    void CutData(Record& record, int32_t count, bool isData) {
        for (int32_t i = 0; i < count; ++i) {
            try {
                record.Data.push_back(CutByte(record.Sum));
            } catch (const EConvertError&) {
                if (isData)
                    Store(record);
                throw;
            }
        }
    }

    // Intel: count, address, type, data, and a checksum that brings the sum
    // of all of them to 0.
    void ParseIntelRecord() {
        Record record;
        const int32_t count = CutByte(record.Sum);
        const auto high = CutByte(record.Sum);
        const auto low = CutByte(record.Sum);
        record.FileAddress = high << 8 | low;
        const int32_t type = CutByte(record.Sum);
        CutData(record, count, type == 0);
        const uint8_t checksum = CutByte(record.Sum);
        if ((record.Sum & 0xFF) != 0 &&
            !LetChecksumPass(checksum, static_cast<uint8_t>(checksum - record.Sum)))
            return;
        if (type == 0)
            Store(record);
        else if (type == 1)
            EndFlag = true;
        // Other types, segment and linear addresses among them, move nothing.
    }

    // S-records: count, address, data, and a checksum that brings the sum of
    // all of them to FF. A type that is not a digit, and the reserved S4,
    // are no records of ours.
    void ParseSRecord() {
        static constexpr std::array<int, 10> AddressBytes{2, 2, 3, 4, 0, 2, 3, 4, 3, 2};
        const std::string_view typeField = Cut(1);
        if (typeField.empty() || typeField.front() < '0' || typeField.front() > '9' ||
            typeField.front() == '4')
            return;
        const int type = typeField.front() - '0';
        Record record;
        const int32_t count = CutByte(record.Sum);
        for (int i = 0; i < AddressBytes[type]; ++i)
            record.FileAddress = record.FileAddress << 8 | CutByte(record.Sum);
        const bool isData = type >= 1 && type <= 3;
        CutData(record, count - AddressBytes[type] - 1, isData);
        const uint8_t checksum = CutByte(record.Sum);
        if ((record.Sum & 0xFF) != 0xFF &&
            !LetChecksumPass(checksum, static_cast<uint8_t>(0xFF - (record.Sum - checksum))))
            return;
        if (isData)
            Store(record);
        else if (type >= 7)
            EndFlag = true;
    }

    bool LetChecksumPass(uint8_t found, uint8_t wanted) {
        if (ChecksumsLetPass)
            return true;
        const std::string mismatch = "the record's checksum is " + HexDigits(found, 2) +
                                     ", its bytes call for " + HexDigits(wanted, 2);
        if (Ask && Ask(LinePrefix(LineNumber) + mismatch)) {
            ChecksumsLetPass = true;
            return true;
        }
        Fail(LoadProblem::ChecksumRefused, mismatch, LineNumber);
        return false;
    }

    // The start address wraps into the device; the bytes of one record do
    // not. A record that would change a cell this load has filled is not
    // stored at all.
    void Store(const Record& record) {
        const int64_t start = record.FileAddress & DeviceEnd;
        for (size_t i = 0; i < record.Data.size(); ++i) {
            const int64_t cell = start + static_cast<int64_t>(i);
            if (cell >= BufferSize)
                break;
            const auto index = static_cast<size_t>(cell);
            if (Filled[index] && Buffer[index] != record.Data[i]) {
                RefuseOverlap(record.FileAddress + static_cast<int64_t>(i), cell);
                return;
            }
        }
        for (size_t i = 0; i < record.Data.size(); ++i)
            Put(start + static_cast<int64_t>(i), record.Data[i],
                record.FileAddress + static_cast<int64_t>(i));
    }

    void RefuseOverlap(int64_t fileAddress, int64_t cell) {
        const int64_t earlier = FilledFrom[static_cast<size_t>(cell)];
        if (earlier == fileAddress) {
            Fail(LoadProblem::MoreThanDevice,
                 "address " + AddressText(fileAddress) + " is given twice, with different values",
                 LineNumber);
            return;
        }
        Fail(LoadProblem::MoreThanDevice,
             "the file holds more than the selected device: its address " + AddressText(fileAddress) +
                 " falls on cell " + AddressText(cell) + ", already loaded from its address " +
                 AddressText(earlier) + " with a different value",
             LineNumber);
    }

    void Put(int64_t cell, uint8_t value, int64_t fileAddress) {
        Report.LastAddress = std::max(Report.LastAddress, cell);
        if (cell < 0 || cell >= BufferSize)
            return;
        const auto index = static_cast<size_t>(cell);
        Buffer[index] = value;
        if (!Filled[index])
            FilledFrom[index] = fileAddress;
        Filled[index] = true;
    }

    // An ASCII line is read whole; the load address runs on from line to
    // line and is never wrapped. The line end counts in the length, so a
    // line with an odd count of digits fails on its last pair.
    void ParseAsciiLine() {
        const size_t pairs = (HexLine.size() + (LineHasEnd ? 0 : 1)) / 2;
        for (size_t i = 0; i < pairs; ++i) {
            const auto value = static_cast<uint8_t>(CutHex(2));
            Put(LoadAddress, value, LoadAddress);
            ++LoadAddress;
        }
    }
};

} // namespace

LoadReport ReadBinaryImage(DataImage& buffer, std::string_view bytes) {
    LoadReport report;
    if (bytes.empty()) {
        report.Problem = LoadProblem::NoData;
        report.Detail = "the file is empty";
        return report;
    }
    const size_t count = std::min(bytes.size(), buffer.size());
    for (size_t i = 0; i < count; ++i)
        buffer[i] = static_cast<uint8_t>(bytes[i]);
    report.LastAddress = static_cast<int64_t>(bytes.size()) - 1;
    return report;
}

LoadReport ReadHexText(DataImage& buffer, int32_t deviceEnd, int32_t fileType, std::string_view text,
                       const ChecksumQuestion& ask) {
    return HexTextReader(buffer, deviceEnd, fileType, text, ask).Run();
}

std::string PastBufferNote(int64_t lastAddress) {
    return "the file holds data up to address " + AddressText(lastAddress) +
           ", past the buffer's last address " + AddressText(BufferSize - 1) + ": only what lies at " +
           AddressText(0) + " to " + AddressText(BufferSize - 1) + " was loaded";
}

} // namespace quennel
