#pragma once
// A collection of dumps made for a test in a scratch folder: plain files in
// nested folders and zip archives written with libzip, some of them broken
// on purpose.

#include <filesystem>
#include <string>
#include <vector>

namespace quennel::test {

struct ZipMember {
    std::string Name;
    std::string Bytes;
    bool Encrypted = false; // traditional PKWARE encryption, password "bench"
    bool Stored = false;    // not compressed: its bytes stand in the archive as they are
};

class DumpShelf {
public:
    explicit DumpShelf(std::filesystem::path root);

    const std::filesystem::path& Root() const { return Folder; }
    // name relative to the root; folders on the way are made.
    void File(const std::string& name, const std::string& bytes) const;
    void Archive(const std::string& name, const std::vector<ZipMember>& members) const;
    // An archive whose stored member's data has one bit flipped: its CRC no longer holds.
    void DamagedArchive(const std::string& name, const ZipMember& good, const ZipMember& damaged) const;
    void Link(const std::string& name, const std::string& target) const;

private:
    std::filesystem::path Folder;
};

// Every file's bytes and modification time under root, for telling that nothing was written.
std::vector<std::string> Snapshot(const std::filesystem::path& root);

// An image of size bytes from a seed; cellBits keeps only the bits that exist.
std::string SeededImage(size_t size, unsigned seed, unsigned cellBits = 0xFF);

} // namespace quennel::test
