#pragma once
// The string pool of a transform: every text its tables refer to, stored once in the pool's code page
// and referred to by id (0 is null). A transform carries its own pool, whatever the databases hold.
#include <windows.h>
#include <map>
#include <string>
#include <vector>

namespace msi {

// Encodes text in a code page (0 = neutral, read as the ANSI code page). False when a character has no
// exact counterpart there: such text is never stored as '?' or a best-fit look-alike.
bool EncodeInCodePage(const std::wstring& text, UINT code_page, std::string& bytes);
// Whether every byte below 0x80 reads as that ASCII character in the code page (not in UTF-7 or EBCDIC).
bool AsciiReadsAsItself(UINT code_page);
// Decodes text stored in a code page (0 = neutral) as the library reads it.
std::wstring DecodeInCodePage(const std::string& bytes, UINT code_page);

class TransformStringPool
{
public:
    explicit TransformStringPool(UINT code_page) : code_page_(code_page) {}

    // The id of text, counting one more reference to it; 0 for an empty text. False (nothing added)
    // when the text cannot be held in the pool's code page.
    bool Reference(const std::wstring& text, UINT& id);

    // Ids past 0xFFFF need 3-byte references in the tables.
    bool LongReferences() const { return entries_.size() > 0xFFFF; }
    UINT CodePage() const { return code_page_; }

    // The _StringPool and _StringData streams.
    std::vector<BYTE> PoolStream() const;
    std::vector<BYTE> DataStream() const;

private:
    struct Entry
    {
        std::string bytes;
        unsigned references = 0;
    };

    UINT code_page_;
    std::vector<Entry> entries_; // id - 1
    std::map<std::wstring, UINT> ids_;
};

} // namespace msi
