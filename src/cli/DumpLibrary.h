#pragma once
// A walk through an operator's collection of dumps: a folder of plain files
// and zip archives, searched to the bottom, for images of one size. Nothing
// in the collection is ever written: files are opened read-only and archives
// are read through libzip without a write-back. Sizes come before bytes: a
// plain file is read only when its size matches, an archive's member only
// when the archive's central directory gives it that size.

#include <cstdint>
#include <span>
#include <string>

namespace quennel::cli {

struct LibraryTally {
    int64_t Files = 0;    // plain files seen, of any size
    int64_t Archives = 0; // .zip files seen
    int64_t Members = 0;  // files inside the archives that could be opened
    int64_t Images = 0;   // images of the size asked for, read whole
    int64_t Skipped = 0;  // unreadable files and folders, damaged or encrypted archives
};

class LibraryVisitor {
public:
    virtual ~LibraryVisitor() = default;
    // where: the file's path, or the archive's path, ':' and the member's name.
    virtual void Image(const std::string& where, std::span<const uint8_t> bytes) = 0;
    // One call for each file, folder or archive that could not be read whole.
    virtual void Skipped(const std::string& where, const std::string& reason) = 0;
    // Now and then, with the tally so far.
    virtual void Progress(const LibraryTally&) {}
};

// Walks root (a folder, or a single file or archive) in name order, folders
// after the files beside them. Links are followed, but a folder already
// walked is never entered again, so a link that loops ends there. Returns
// false, with the reason, when root itself cannot be reached.
bool ScanDumpLibrary(const std::string& root, size_t imageSize, LibraryVisitor& visitor, LibraryTally& tally,
                     std::string& problem);

} // namespace quennel::cli
