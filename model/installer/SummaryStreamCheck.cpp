#include "model/installer/SummaryStreamCheck.h"

#include <cstdint>

namespace msi {
namespace detail {
namespace {

uint32_t u32(const std::vector<BYTE>& bytes, size_t at)
{
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (uint32_t(bytes[at + 3]) << 24);
}

const size_t kSetHeader = 28;    // byte order, version, system, class id, section count
const size_t kSectionEntry = 20; // format id and offset

} // namespace

bool SummaryStreamSound(const std::vector<BYTE>& bytes)
{
    if (bytes.size() < kSetHeader + kSectionEntry || bytes[0] != 0xFE || bytes[1] != 0xFF ||
        u32(bytes, 24) == 0)
        return true;
    uint64_t section = u32(bytes, kSetHeader + 16);
    if (section + 8 > bytes.size())
        return false;
    // The section ends where its size says, and never past the stream.
    uint64_t end = section + u32(bytes, static_cast<size_t>(section));
    if (end > bytes.size())
        end = bytes.size();
    uint64_t count = u32(bytes, static_cast<size_t>(section) + 4);
    if (section + 8 + count * 8 > end)
        return false;
    for (uint64_t index = 0; index < count; ++index) {
        size_t entry = static_cast<size_t>(section + 8 + index * 8);
        uint64_t value = section + u32(bytes, entry + 4);
        if (value + 4 > end)
            return false;
        uint32_t type = u32(bytes, static_cast<size_t>(value));
        uint64_t size = 4;
        if (type == VT_LPSTR)
            size = value + 8 <= end ? 8 + uint64_t(u32(bytes, static_cast<size_t>(value) + 4)) : 8;
        else if (type == VT_FILETIME)
            size = 12;
        else if (type == VT_I2 || type == VT_I4)
            size = 8;
        if (value + size > end)
            return false;
    }
    return true;
}

} // namespace detail
} // namespace msi
