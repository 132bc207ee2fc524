#include "model/installer/CompoundFileCheck.h"
#include "model/installer/DatabaseStreamsCheck.h"
#include "foundation/Errors.h"

#include <windows.h>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

namespace msi {
namespace {

const uint32_t kEndOfChain = 0xFFFFFFFE;
const uint32_t kFree = 0xFFFFFFFF;
const uint32_t kLastRegular = 0xFFFFFFFA;
const size_t kHeaderSize = 512;
const size_t kEntrySize = 128;

struct Damaged
{
};

uint32_t u32(const BYTE* at)
{
    return at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

uint16_t u16(const BYTE* at)
{
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

class Reader
{
public:
    explicit Reader(HANDLE file) : file_(file) {}
    void read(uint64_t offset, BYTE* buffer, DWORD size)
    {
        LARGE_INTEGER position;
        position.QuadPart = static_cast<LONGLONG>(offset);
        DWORD done = 0;
        if (!SetFilePointerEx(file_, position, nullptr, FILE_BEGIN) ||
            !ReadFile(file_, buffer, size, &done, nullptr))
            throw tfc::Win32Error(GetLastError(), L"ReadFile");
        if (done != size)
            throw Damaged();
    }

private:
    HANDLE file_;
};

class Checker
{
public:
    Checker(HANDLE file, uint64_t size, FileLeftovers* leftovers)
        : reader_(file), file_size_(size), leftovers_(leftovers)
    {
    }

    void run()
    {
        BYTE header[kHeaderSize];
        reader_.read(0, header, kHeaderSize);
        uint16_t major = u16(header + 0x1A);
        uint16_t shift = u16(header + 0x1E);
        uint16_t mini_shift = u16(header + 0x20);
        if (u16(header + 0x1C) != 0xFFFE || !((major == 3 && shift == 9) || (major == 4 && shift == 12)) ||
            mini_shift != 6)
            throw Damaged();
        sector_size_ = 1u << shift;
        mini_cutoff_ = u32(header + 0x38);
        if (mini_cutoff_ != 4096)
            throw Damaged();
        // Sectors that start inside the file; the header takes the place of sector -1.
        uint64_t sectors = file_size_ > sector_size_ ? (file_size_ - 1) / sector_size_ : 0;
        if (sectors >= kLastRegular)
            throw Damaged();
        sector_count_ = static_cast<uint32_t>(sectors);
        used_.assign(sector_count_, false);

        read_fat(header);
        std::vector<BYTE> directory = read_chain(u32(header + 0x30), 0, false);
        std::vector<BYTE> mini_fat_bytes;
        if (u32(header + 0x40) != 0)
            mini_fat_bytes =
                read_chain(u32(header + 0x3C), uint64_t(u32(header + 0x40)) * sector_size_, false);
        for (size_t at = 0; at + 4 <= mini_fat_bytes.size(); at += 4)
            mini_fat_.push_back(u32(mini_fat_bytes.data() + at));
        check_directory(directory);
    }

private:
    uint64_t offset_of(uint32_t sector) const { return (uint64_t(sector) + 1) * sector_size_; }

    void claim(uint32_t sector)
    {
        if (sector >= sector_count_ || used_[sector])
            throw Damaged();
        used_[sector] = true;
    }

    void read_sector(uint32_t sector, BYTE* buffer) { reader_.read(offset_of(sector), buffer, sector_size_); }

    void read_fat(const BYTE* header)
    {
        uint32_t fat_sectors = u32(header + 0x2C);
        uint32_t difat_next = u32(header + 0x44);
        uint32_t difat_count = u32(header + 0x48);
        if (fat_sectors == 0 || fat_sectors > sector_count_ || difat_count > sector_count_)
            throw Damaged();
        std::vector<uint32_t> fat_list;
        for (size_t at = 0; at < 109 && fat_list.size() < fat_sectors; ++at)
            fat_list.push_back(u32(header + 0x4C + at * 4));
        std::vector<BYTE> block(sector_size_);
        for (uint32_t seen = 0; fat_list.size() < fat_sectors; ++seen) {
            if (seen == difat_count)
                throw Damaged();
            claim(difat_next);
            read_sector(difat_next, block.data());
            size_t per_sector = sector_size_ / 4 - 1;
            for (size_t at = 0; at < per_sector && fat_list.size() < fat_sectors; ++at)
                fat_list.push_back(u32(block.data() + at * 4));
            difat_next = u32(block.data() + per_sector * 4);
        }
        for (uint32_t sector : fat_list) {
            claim(sector);
            read_sector(sector, block.data());
            for (size_t at = 0; at < sector_size_; at += 4)
                fat_.push_back(u32(block.data() + at));
        }
    }

    // The bytes of a chain of the FAT; length 0: the whole chain. Every sector is claimed once, so loops
    // and sectors shared by two chains fail, and the chain must cover length. A stream's chain (exact)
    // ends with the sector that holds its last byte: a longer one tells a size cut short.
    std::vector<BYTE> read_chain(uint32_t start, uint64_t length, bool data_only, bool exact = false)
    {
        std::vector<BYTE> bytes;
        uint64_t covered = 0;
        for (uint32_t sector = start; sector != kEndOfChain;) {
            claim(sector);
            if (sector >= fat_.size())
                throw Damaged();
            uint64_t part = sector_size_;
            if (length && length - covered < part)
                part = length - covered;
            // A stream's last sector may end with the file; what the stream uses must be there.
            if (offset_of(sector) + part > file_size_)
                throw Damaged();
            if (!data_only) {
                bytes.resize(bytes.size() + sector_size_);
                read_sector(sector, bytes.data() + bytes.size() - sector_size_);
            }
            covered += sector_size_;
            sector = fat_[sector];
            if (exact && covered >= length && sector != kEndOfChain)
                throw Damaged();
            if (sector == kFree || (sector > kLastRegular && sector != kEndOfChain))
                throw Damaged();
        }
        if (covered < length)
            throw Damaged();
        return bytes;
    }

    void check_mini_chain(uint32_t start, uint64_t length, uint64_t mini_stream_size)
    {
        uint32_t sector = start;
        for (uint64_t covered = 0;;) {
            if (sector >= mini_fat_.size() || uint64_t(sector) * 64 + 64 > mini_stream_size ||
                mini_used_[sector])
                throw Damaged();
            mini_used_[sector] = true;
            covered += 64;
            if (covered >= length) {
                if (mini_fat_[sector] != kEndOfChain)
                    throw Damaged();
                return;
            }
            sector = mini_fat_[sector];
        }
    }

    // The bytes of a stream whose chain check_directory accepted.
    std::vector<BYTE> read_stream(uint32_t start, uint64_t size)
    {
        std::vector<BYTE> bytes(static_cast<size_t>(size));
        std::vector<BYTE> block(sector_size_);
        size_t done = 0;
        for (uint32_t sector = start; done < bytes.size();) {
            uint64_t offset;
            size_t unit;
            if (size < mini_cutoff_) {
                uint64_t at = uint64_t(sector) * 64;
                offset = offset_of(mini_stream_sectors_[at / sector_size_]) + at % sector_size_;
                unit = 64;
                sector = mini_fat_[sector];
            } else {
                offset = offset_of(sector);
                unit = sector_size_;
                sector = fat_[sector];
            }
            size_t part = std::min(unit, bytes.size() - done);
            reader_.read(offset, bytes.data() + done, static_cast<DWORD>(part));
            done += part;
        }
        return bytes;
    }

    void check_directory(const std::vector<BYTE>& directory)
    {
        size_t count = directory.size() / kEntrySize;
        // Wine's storage takes the root entry where it finds it, and its transacted commit may move it
        // from the first place.
        uint32_t root_id = kFree;
        for (size_t id = 0; id < count; ++id)
            if (directory[id * kEntrySize + 0x42] == 5)
                root_id = static_cast<uint32_t>(id);
        if (root_id == kFree)
            throw Damaged();
        if (root_id != 0)
            note_leftover(true);
        const BYTE* root = directory.data() + size_t(root_id) * kEntrySize;
        uint64_t mini_stream_size = u32(root + 0x78);
        if (u32(root + 0x7C) != 0)
            throw Damaged();
        if (mini_stream_size) {
            read_chain(u32(root + 0x74), mini_stream_size, true);
            for (uint32_t sector = u32(root + 0x74); sector != kEndOfChain; sector = fat_[sector])
                mini_stream_sectors_.push_back(sector);
        }
        mini_used_.assign(mini_fat_.size(), false);
        // Walks the tree from the root; every entry is reached at most once. Entries of the root storage
        // itself (not of a storage below it) are the database's streams.
        std::vector<bool> reached(count, false);
        // Each entry with the storage it belongs to.
        std::vector<std::pair<uint32_t, uint32_t>> pending = {{root_id, kFree}};
        std::vector<detail::RootStream> streams;
        // Structured storage finds one entry by a name: a second one of that name (names compare without
        // case) hides one of them.
        std::set<std::pair<uint32_t, std::wstring>> names;
        while (!pending.empty()) {
            uint32_t id = pending.back().first;
            uint32_t parent = pending.back().second;
            bool in_root = parent == root_id;
            pending.pop_back();
            if (id == kFree)
                continue;
            if (id >= count)
                throw Damaged();
            const BYTE* entry = directory.data() + size_t(id) * kEntrySize;
            BYTE type = entry[0x42];
            uint16_t name_bytes = u16(entry + 0x40);
            // Wine leaves links to entries it freed (cleared, names too); one that still has its name was
            // in use, and the library misses what it held.
            if (type == 0) {
                if (name_bytes != 0)
                    throw Damaged();
                note_leftover(true);
                continue;
            }
            if (reached[id])
                throw Damaged();
            reached[id] = true;
            if (name_bytes > 64 || name_bytes % 2 != 0 || (type != 1 && type != 2 && type != 5) ||
                (type == 5) != (id == root_id))
                throw Damaged();
            if (id != root_id) {
                pending.push_back({u32(entry + 0x44), parent});
                pending.push_back({u32(entry + 0x48), parent});
                if (!names.emplace(parent, folded_name(entry)).second)
                    throw Damaged();
            }
            if (type != 2) {
                pending.push_back({u32(entry + 0x4C), id});
                if (in_root)
                    streams.push_back(root_stream(entry, 0, true, true));
                continue;
            }
            // Sizes above 4 GB do not occur in a database; a high word read as one makes tables vanish.
            if (u32(entry + 0x7C) != 0)
                throw Damaged();
            uint64_t size = u32(entry + 0x78);
            // An empty stream has no chain; one that points at sectors lost its size.
            if (size == 0 && u32(entry + 0x74) != kEndOfChain && u32(entry + 0x74) != kFree)
                throw Damaged();
            if (size != 0 && size < mini_cutoff_)
                check_mini_chain(u32(entry + 0x74), size, mini_stream_size);
            else if (size != 0)
                read_chain(u32(entry + 0x74), size, true, true);
            if (in_root)
                streams.push_back(root_stream(entry, size, true));
        }
        // Structured storage never finds an entry the tree does not reach, and a writer may leave one
        // behind: it only matters when it is a table whose stream the library then misses.
        for (size_t id = 0; id < count; ++id) {
            const BYTE* entry = directory.data() + id * kEntrySize;
            if (entry[0x42] != 0 && !reached[id])
                note_leftover();
            if (entry[0x42] == 2 && !reached[id])
                streams.push_back(root_stream(entry, u32(entry + 0x78), false));
        }
        if (!detail::DatabaseStreamsSound(streams, leftovers_ ? &leftovers_->stale_streams : nullptr))
            throw Damaged();
        if (leftovers_ && !leftovers_->stale_streams.empty())
            note_leftover();
    }

    void note_leftover(bool hazardous = false)
    {
        if (leftovers_) {
            leftovers_->any = true;
            leftovers_->hazardous = leftovers_->hazardous || hazardous;
        }
    }

    static std::wstring entry_name(const BYTE* entry)
    {
        std::wstring name;
        size_t units = std::min<size_t>(u16(entry + 0x40) / 2, 32);
        for (size_t at = 0; at < units && (entry[at * 2] || entry[at * 2 + 1]); ++at)
            name += static_cast<wchar_t>(u16(entry + at * 2));
        return name;
    }

    static std::wstring folded_name(const BYTE* entry)
    {
        std::wstring name = entry_name(entry);
        if (!name.empty())
            CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
        return name;
    }

    detail::RootStream root_stream(const BYTE* entry, uint64_t size, bool reached, bool storage = false)
    {
        detail::RootStream stream;
        stream.element = entry_name(entry);
        stream.size = size;
        stream.reached = reached;
        stream.storage = storage;
        if (storage) {
            stream.read = [] { return std::vector<BYTE>(); };
            return stream;
        }
        uint32_t start = u32(entry + 0x74);
        stream.read = [this, start, size] { return read_stream(start, size); };
        return stream;
    }

    Reader reader_;
    uint64_t file_size_;
    uint32_t sector_size_ = 512;
    uint32_t mini_cutoff_ = 4096;
    uint32_t sector_count_ = 0;
    std::vector<bool> used_;
    std::vector<uint32_t> fat_;
    std::vector<uint32_t> mini_fat_;
    std::vector<bool> mini_used_;
    std::vector<uint32_t> mini_stream_sectors_;
    FileLeftovers* leftovers_;
};

FileCheck from_error(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
        return FileCheck::Missing;
    case ERROR_ACCESS_DENIED:
        return FileCheck::AccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return FileCheck::InUse;
    default:
        return FileCheck::Unreadable;
    }
}

} // namespace

namespace {

FileCheck check_file(const std::wstring& path, FileLeftovers* leftovers)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return from_error(GetLastError());
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return FileCheck::Folder;
    // Shared for writing too: the library may hold the file open in this process.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return from_error(GetLastError());
    FileCheck result = FileCheck::Sound;
    try {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(file, &size))
            throw tfc::Win32Error(GetLastError(), L"GetFileSizeEx");
        BYTE signature[8] = {};
        static const BYTE kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
        DWORD done = 0;
        if (!ReadFile(file, signature, 8, &done, nullptr))
            throw tfc::Win32Error(GetLastError(), L"ReadFile");
        if (done != 8 || std::memcmp(signature, kSignature, 8) != 0) {
            result = FileCheck::NotCompound;
        } else {
            Checker checker(file, static_cast<uint64_t>(size.QuadPart), leftovers);
            checker.run();
        }
    } catch (const Damaged&) {
        result = FileCheck::Damaged;
    } catch (const tfc::Win32Error& error) {
        result = from_error(error.code());
    } catch (const std::bad_alloc&) {
        result = FileCheck::Damaged;
    }
    CloseHandle(file);
    return result;
}

} // namespace

FileCheck CheckCompoundFile(const std::wstring& path)
{
    return check_file(path, nullptr);
}

bool FindLeftovers(const std::wstring& path, FileLeftovers& found)
{
    found = FileLeftovers();
    if (check_file(path, &found) == FileCheck::Sound)
        return true;
    found = FileLeftovers();
    return false;
}

namespace {

DWORD code_of(FileCheck problem)
{
    switch (problem) {
    case FileCheck::Missing:
        return ERROR_FILE_NOT_FOUND;
    case FileCheck::Folder:
        return ERROR_DIRECTORY;
    case FileCheck::AccessDenied:
        return ERROR_ACCESS_DENIED;
    case FileCheck::NotCompound:
        return ERROR_INSTALL_PACKAGE_INVALID;
    case FileCheck::Damaged:
        return ERROR_FILE_CORRUPT;
    case FileCheck::InUse:
        return ERROR_SHARING_VIOLATION;
    default:
        return ERROR_READ_FAULT;
    }
}

const wchar_t* reason_of(FileCheck problem)
{
    switch (problem) {
    case FileCheck::Missing:
        return L"The file does not exist";
    case FileCheck::Folder:
        return L"The path names a folder, not a file";
    case FileCheck::AccessDenied:
        return L"Access to the file is denied";
    case FileCheck::InUse:
        return L"The file is in use by another program";
    case FileCheck::NotCompound:
        return L"The file is not an installer database";
    case FileCheck::Damaged:
        return L"The file is damaged or is not an installer database";
    default:
        return L"The file could not be read";
    }
}

} // namespace

DatabaseFileError::DatabaseFileError(FileCheck problem, const std::wstring& path)
    : tfc::Win32Error(code_of(problem), L"MsiOpenDatabase"), problem_(problem),
      message_(reason_of(problem) + std::wstring(L": ") + path)
{
}

std::wstring DatabaseFileError::reason() const
{
    return reason_of(problem_) + std::wstring(L".");
}

FileCheck RequireSoundDatabaseFile(const std::wstring& path)
{
    FileCheck problem = CheckCompoundFile(path);
    if (problem != FileCheck::Sound && problem != FileCheck::InUse)
        throw DatabaseFileError(problem, path);
    return problem;
}

} // namespace msi
