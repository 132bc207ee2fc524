#include "model/installer/TransformStringPool.h"

#include <algorithm>

namespace msi {
namespace {

void put16(std::vector<BYTE>& out, unsigned value)
{
    out.push_back(BYTE(value & 0xFF));
    out.push_back(BYTE((value >> 8) & 0xFF));
}

// Code pages whose converter refuses WC_NO_BEST_FIT_CHARS and the used-default flag.
bool takes_no_flags(UINT code_page)
{
    return code_page == CP_UTF7 || code_page == CP_UTF8 || code_page == 42 || code_page == 54936 ||
           code_page == 52936 || (code_page >= 50220 && code_page <= 50229) ||
           (code_page >= 57002 && code_page <= 57011);
}

} // namespace

bool EncodeInCodePage(const std::wstring& text, UINT code_page, std::string& bytes)
{
    bytes.clear();
    if (text.empty())
        return true;
    // Resolved first: an ANSI code page of 65001 takes none of the flags below.
    UINT page = code_page == 0 ? GetACP() : code_page;
    const int length = static_cast<int>(text.size());
    BOOL used_default = FALSE;
    DWORD flags = takes_no_flags(page) ? (page == CP_UTF8 ? WC_ERR_INVALID_CHARS : 0) : WC_NO_BEST_FIT_CHARS;
    BOOL* used = takes_no_flags(page) ? nullptr : &used_default;
    int size = WideCharToMultiByte(page, flags, text.data(), length, nullptr, 0, nullptr, used);
    if (size <= 0 || used_default)
        return false;
    bytes.resize(size);
    WideCharToMultiByte(page, flags, text.data(), length, &bytes[0], size, nullptr, used);
    if (used_default)
        return false;
    if (used == nullptr && page != CP_UTF8) {
        // No flag to tell a substitution: the text must come back unchanged.
        int back = MultiByteToWideChar(page, 0, bytes.data(), size, nullptr, 0);
        std::wstring round(back > 0 ? back : 0, L'\0');
        if (back <= 0 || MultiByteToWideChar(page, 0, bytes.data(), size, &round[0], back) != back ||
            round != text)
            return false;
    }
    return true;
}

bool AsciiReadsAsItself(UINT code_page)
{
    UINT page = code_page == 0 ? GetACP() : code_page;
    return (page >= 1250 && page <= 1258) || page == 874 || page == 932 || page == 936 || page == 949 ||
           page == 950 || page == CP_UTF8 || page == 437 || page == 850;
}

std::wstring DecodeInCodePage(const std::string& bytes, UINT code_page)
{
    if (bytes.empty())
        return std::wstring();
    UINT page = code_page == 0 ? CP_ACP : code_page;
    // Plain ASCII reads the same in the code pages databases use; a large pool is mostly such texts.
    if (AsciiReadsAsItself(code_page) &&
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::wstring(bytes.begin(), bytes.end());
    int size = MultiByteToWideChar(page, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(size > 0 ? size : 0, L'\0');
    if (size > 0)
        MultiByteToWideChar(page, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], size);
    return text;
}

bool TransformStringPool::Reference(const std::wstring& text, UINT& id)
{
    id = 0;
    if (text.empty())
        return true;
    auto found = ids_.find(text);
    if (found == ids_.end()) {
        Entry entry;
        if (!EncodeInCodePage(text, code_page_, entry.bytes))
            return false;
        entries_.push_back(std::move(entry));
        found = ids_.emplace(text, static_cast<UINT>(entries_.size())).first;
    }
    Entry& entry = entries_[found->second - 1];
    ++entry.references;
    id = found->second;
    return true;
}

// Header: code page, its high word flagged 0x8000 for 3-byte references. Then a (length, refcount)
// pair per id; a string of 64 KiB or more takes (0, refcount) and its 32-bit length in the next slot.
// Checked: Wine reads both reference widths and long strings back from this layout.
std::vector<BYTE> TransformStringPool::PoolStream() const
{
    std::vector<BYTE> out;
    put16(out, code_page_ & 0xFFFF);
    put16(out, ((code_page_ >> 16) & 0x7FFF) | (LongReferences() ? 0x8000 : 0));
    for (const Entry& entry : entries_) {
        // A refcount of 0 would mark the slot unused; Wine uses counts for nothing else.
        unsigned references = entry.references > 0xFFFF ? 0xFFFF : entry.references;
        if (entry.bytes.size() > 0xFFFF) {
            put16(out, 0);
            put16(out, references);
            put16(out, static_cast<unsigned>(entry.bytes.size() & 0xFFFF));
            put16(out, static_cast<unsigned>(entry.bytes.size() >> 16));
        } else {
            put16(out, static_cast<unsigned>(entry.bytes.size()));
            put16(out, references);
        }
    }
    return out;
}

std::vector<BYTE> TransformStringPool::DataStream() const
{
    std::vector<BYTE> out;
    for (const Entry& entry : entries_)
        out.insert(out.end(), entry.bytes.begin(), entry.bytes.end());
    return out;
}

} // namespace msi
