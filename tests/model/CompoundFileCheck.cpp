#include "CompoundFileCheck.h"
#include "support/TestSupport.h"

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

namespace model_testing {
namespace {

const uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kNone = 0xFFFFFFFF;

class CompoundFile
{
public:
    explicit CompoundFile(const std::vector<BYTE>& bytes) : bytes_(bytes) {}

    std::string Check()
    {
        static const BYTE signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
        if (bytes_.size() < 512 || std::memcmp(bytes_.data(), signature, 8) != 0)
            return "no compound file header";
        unsigned shift = u16(0x1E);
        if (shift != 9 && shift != 12)
            return "sector shift " + std::to_string(shift);
        sector_ = 1u << shift;
        std::vector<uint32_t> fat_sectors;
        for (unsigned i = 0; i < 109; ++i)
            if (u32(0x4C + 4 * i) != kFree)
                fat_sectors.push_back(u32(0x4C + 4 * i));
        std::vector<uint32_t> difat;
        if (!chain_by_links(u32(0x44), difat, [&](uint32_t s) { return u32(offset(s) + sector_ - 4); }))
            return "DIFAT chain";
        for (uint32_t s : difat)
            for (unsigned i = 0; i + 1 < sector_ / 4; ++i)
                if (u32(offset(s) + 4 * i) != kFree)
                    fat_sectors.push_back(u32(offset(s) + 4 * i));
        for (uint32_t s : fat_sectors) {
            if (!inside(s))
                return "FAT sector outside the file";
            for (unsigned i = 0; i < sector_ / 4; ++i)
                fat_.push_back(u32(offset(s) + 4 * i));
        }
        std::vector<uint32_t> directory, mini_fat_chain;
        if (!chain(u32(0x30), directory))
            return "directory chain";
        if (!chain(u32(0x3C), mini_fat_chain))
            return "mini FAT chain";
        for (uint32_t s : mini_fat_chain)
            for (unsigned i = 0; i < sector_ / 4; ++i)
                mini_fat_.push_back(u32(offset(s) + 4 * i));
        for (uint32_t s : directory)
            for (unsigned i = 0; i < sector_ / 128; ++i)
                entries_.push_back(offset(s) + 128 * i);
        if (entries_.empty() || bytes_[entries_[0] + 0x42] != 5)
            return "no root entry";
        std::vector<uint32_t> mini_stream;
        if (!chain(u32(entries_[0] + 0x74), mini_stream))
            return "mini stream chain";
        mini_stream_size_ = mini_stream.size() * sector_;
        std::string fault = walk(0, 0);
        // Readers tolerate a used entry the tree does not reach, but a sound writer leaves none.
        for (uint32_t id = 0; fault.empty() && id < entries_.size(); ++id)
            if (bytes_[entries_[id] + 0x42] != 0 && !visited_.count(id))
                fault = "used directory entry " + std::to_string(id) + " not reached";
        return fault;
    }

private:
    unsigned u16(size_t at) const { return bytes_[at] | bytes_[at + 1] << 8; }
    uint32_t u32(size_t at) const { return u16(at) | static_cast<uint32_t>(u16(at + 2)) << 16; }
    size_t offset(uint32_t s) const { return (static_cast<size_t>(s) + 1) * sector_; }
    bool inside(uint32_t s) const { return s < kEnd - 3 && offset(s) + sector_ <= bytes_.size(); }

    template <typename Next> bool chain_by_links(uint32_t s, std::vector<uint32_t>& out, Next next)
    {
        std::set<uint32_t> seen;
        for (; s != kEnd && s != kFree; s = next(s)) {
            if (!inside(s) || !seen.insert(s).second)
                return false;
            out.push_back(s);
        }
        return true;
    }
    bool chain(uint32_t s, std::vector<uint32_t>& out)
    {
        return chain_by_links(s, out, [&](uint32_t at) { return at < fat_.size() ? fat_[at] : kNone - 2; });
    }
    bool mini_chain(uint32_t s, size_t& count)
    {
        std::set<uint32_t> seen;
        for (; s != kEnd; s = mini_fat_[s]) {
            if (s >= mini_fat_.size() || (s + 1) * 64ull > mini_stream_size_ || !seen.insert(s).second)
                return false;
            ++count;
        }
        return true;
    }

    // Depth-first over the red-black tree of one storage and everything below it.
    std::string walk(uint32_t id, int depth)
    {
        if (id == kNone)
            return "";
        if (id >= entries_.size() || depth > 1000)
            return "directory link " + std::to_string(id) + " outside the directory";
        if (!visited_.insert(id).second)
            return "directory entry " + std::to_string(id) + " reached twice";
        size_t at = entries_[id];
        BYTE type = bytes_[at + 0x42];
        if (type != 1 && type != 2 && type != 5)
            return "directory link to unused entry " + std::to_string(id);
        if (type == 2) {
            uint64_t size = u32(at + 0x78);
            size_t count = 0;
            std::vector<uint32_t> sectors;
            bool sound = size == 0 ||
                         (size < 4096 ? mini_chain(u32(at + 0x74), count) : chain(u32(at + 0x74), sectors));
            size_t unit = size < 4096 ? 64 : sector_;
            count += sectors.size();
            if (!sound || count * unit < size)
                return "stream " + std::to_string(id) + " not covered by its chain";
        }
        for (std::string fault : {walk(u32(at + 0x44), depth + 1), walk(u32(at + 0x48), depth + 1),
                                  type != 2 ? walk(u32(at + 0x4C), depth + 1) : std::string()})
            if (!fault.empty())
                return fault;
        return "";
    }

    const std::vector<BYTE>& bytes_;
    unsigned sector_ = 512;
    std::vector<uint32_t> fat_, mini_fat_;
    std::vector<size_t> entries_;
    size_t mini_stream_size_ = 0;
    std::set<uint32_t> visited_;
};

} // namespace

std::string CompoundFileFault(const std::wstring& path)
{
    std::vector<BYTE> bytes = testing_support::ReadFileBytes(path);
    return CompoundFile(bytes).Check();
}

} // namespace model_testing
