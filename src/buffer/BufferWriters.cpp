#include "buffer/BufferWriters.h"

#include "buffer/FileType.h"
#include "buffer/IntegerText.h"

#include <string>

namespace quennel {

namespace {

constexpr int RecordBytes = 16;
constexpr char LineEnd[] = "\r\n";

// One record's data field and the running 8-bit sum of what went into it.
struct RecordBuilder {
    explicit RecordBuilder(const DataImage& buffer) : Buffer(buffer) {}

    const DataImage& Buffer;
    int32_t Position = 0; // next buffer address to emit
    std::string Digits;
    uint8_t Sum = 0;
    int Count = 0;

    void Start(uint8_t addressSum) {
        Digits.clear();
        Sum = addressSum;
        Count = 0;
    }
    void EmitByte() {
        const uint8_t value = Buffer[static_cast<size_t>(Position)];
        Sum = static_cast<uint8_t>(Sum + value);
        Digits += HexDigits(value, 2);
        ++Position;
        ++Count;
    }
};

uint8_t SumOfBytes(uint32_t value) {
    return static_cast<uint8_t>((value & 0xFF) + ((value >> 8) & 0xFF) + ((value >> 16) & 0xFF) +
                                ((value >> 24) & 0xFF));
}

} // namespace

void WriteBinaryImage(const DataImage& buffer, int32_t deviceEnd, std::ostream& out) {
    out.write(reinterpret_cast<const char*>(buffer.data()), ClampDeviceEnd(deviceEnd) + 1);
}

void WriteIntelHex(const DataImage& buffer, int32_t deviceEnd, std::ostream& out) {
    const int32_t end = ClampDeviceEnd(deviceEnd);
    out << ":020000020000FC" << LineEnd;
    RecordBuilder record(buffer);
    // Records start on multiples of 16 and the buffer is 1024 long, so a
    // full record never runs past it.
    while (record.Position <= end) {
        const uint32_t address = static_cast<uint32_t>(record.Position);
        record.Start(SumOfBytes(address));
        while (record.Count < RecordBytes)
            record.EmitByte();
        const uint8_t checksum = static_cast<uint8_t>(0 - (record.Count + record.Sum));
        out << ':' << HexDigits(static_cast<uint32_t>(record.Count), 2) << HexDigits(address, 4) << "00"
            << record.Digits << HexDigits(checksum, 2) << LineEnd;
    }
    out << ":00000001FF" << LineEnd;
}

void WriteMotorolaHex(const DataImage& buffer, int32_t deviceEnd, std::ostream& out) {
    const int32_t end = ClampDeviceEnd(deviceEnd);
    RecordBuilder record(buffer);
    while (record.Position <= end) {
        const uint32_t address = static_cast<uint32_t>(record.Position);
        record.Start(SumOfBytes(address));
        while (record.Count < RecordBytes && record.Position <= end)
            record.EmitByte();
        const uint8_t checksum = static_cast<uint8_t>(0xFF - (record.Count + record.Sum + 4));
        out << "S2" << HexDigits(static_cast<uint32_t>(record.Count + 4), 2) << HexDigits(address, 6)
            << record.Digits << HexDigits(checksum, 2) << LineEnd;
    }
    out << "S804000000FB" << LineEnd;
}

void WriteAsciiHex(const DataImage& buffer, int32_t deviceEnd, std::ostream& out) {
    const int32_t end = ClampDeviceEnd(deviceEnd);
    RecordBuilder line(buffer);
    while (line.Position <= end) {
        line.Start(0);
        do
            line.EmitByte();
        while (line.Position % RecordBytes != 0 && line.Position <= end);
        out << line.Digits << LineEnd;
    }
}

bool WriteBufferImage(const DataImage& buffer, int32_t deviceEnd, int32_t fileType, std::ostream& out) {
    switch (fileType) {
    case BinaryFileType:
        WriteBinaryImage(buffer, deviceEnd, out);
        return true;
    case IntelHexFileType:
        WriteIntelHex(buffer, deviceEnd, out);
        return true;
    case MotorolaHexFileType:
        WriteMotorolaHex(buffer, deviceEnd, out);
        return true;
    case AsciiHexFileType:
        WriteAsciiHex(buffer, deviceEnd, out);
        return true;
    default:
        return false;
    }
}

} // namespace quennel
