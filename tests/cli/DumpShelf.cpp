#include "DumpShelf.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <sys/stat.h>
#include <zip.h>

namespace quennel::test {

namespace {

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Overwrite(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

} // namespace

DumpShelf::DumpShelf(std::filesystem::path root) : Folder(std::move(root)) {
    std::filesystem::create_directories(Folder);
}

void DumpShelf::File(const std::string& name, const std::string& bytes) const {
    const std::filesystem::path path = Folder / name;
    std::filesystem::create_directories(path.parent_path());
    Overwrite(path, bytes);
}

void DumpShelf::Archive(const std::string& name, const std::vector<ZipMember>& members) const {
    const std::filesystem::path path = Folder / name;
    std::filesystem::create_directories(path.parent_path());
    int error = 0;
    zip_t* archive = ::zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        throw std::runtime_error("cannot make " + path.string());
    for (const ZipMember& member : members) {
        zip_source_t* source = ::zip_source_buffer(archive, member.Bytes.data(), member.Bytes.size(), 0);
        const zip_int64_t index = ::zip_file_add(archive, member.Name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0)
            throw std::runtime_error("cannot add " + member.Name);
        const auto at = static_cast<zip_uint64_t>(index);
        ::zip_set_file_compression(archive, at, member.Stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
        if (member.Encrypted)
            ::zip_file_set_encryption(archive, at, ZIP_EM_TRAD_PKWARE, "bench");
    }
    if (::zip_close(archive) != 0)
        throw std::runtime_error("cannot write " + path.string() + ": " + ::zip_strerror(archive));
}

void DumpShelf::DamagedArchive(const std::string& name, const ZipMember& good,
                               const ZipMember& damaged) const {
    ZipMember stored = damaged;
    stored.Stored = true;
    Archive(name, {good, stored});
    const std::filesystem::path path = Folder / name;
    std::string bytes = Contents(path);
    const size_t at = bytes.find(damaged.Bytes);
    if (at == std::string::npos)
        throw std::runtime_error("the stored member is not in " + path.string());
    bytes[at + damaged.Bytes.size() / 2] ^= 0x01;
    Overwrite(path, bytes);
}

void DumpShelf::Link(const std::string& name, const std::string& target) const {
    const std::filesystem::path path = Folder / name;
    std::filesystem::create_directories(path.parent_path());
    std::filesystem::create_symlink(target, path);
}

std::vector<std::string> Snapshot(const std::filesystem::path& root) {
    std::vector<std::string> files;
    for (auto it = std::filesystem::recursive_directory_iterator(root); it != decltype(it)(); ++it) {
        if (!it->is_regular_file() || it->is_symlink())
            continue;
        struct stat info {};
        ::stat(it->path().c_str(), &info);
        files.push_back(it->path().string() + " " + std::to_string(info.st_mtim.tv_sec) + "." +
                        std::to_string(info.st_mtim.tv_nsec) + " " + Contents(it->path()));
    }
    std::ranges::sort(files);
    return files;
}

std::string SeededImage(size_t size, unsigned seed, unsigned cellBits) {
    std::mt19937 random(seed);
    std::string image(size, '\0');
    for (char& cell : image)
        cell = static_cast<char>(random() & cellBits);
    return image;
}

} // namespace quennel::test
