#pragma once
// The locale's sort keys of texts (LCMapStringW, LCMAP_SORTKEY | NORM_IGNORECASE, the flags the columns
// compare with): two keys compared bytewise are meant to order their texts as CompareStringW does. Plain
// texts are held to that without asking CompareStringW (tests check it); for others the rows' order checks
// its neighbours with CompareStringW.
#include <windows.h>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

class LocaleSortKeys
{
public:
    LocaleSortKeys(LCID locale, const std::vector<std::wstring_view>& texts);

    size_t size() const { return keys_.size(); }
    std::string_view operator[](size_t at) const { return keys_[at]; }
    const std::vector<std::string_view>& keys() const { return keys_; }
    // Whether the text is plain (IsPlainText), found while its key was made.
    bool plain(size_t at) const { return plain_[at] != 0; }

private:
    // One buffer for each part of the texts: keys made on several threads at once, no block per key.
    std::vector<std::vector<char>> buffers_;
    std::vector<std::string_view> keys_;
    std::vector<char> plain_;
};

// Whether every character of the text is an ASCII one (control characters included): the characters for
// which the locale's sort keys and CompareStringW are known to agree.
bool IsPlainText(std::wstring_view text);

// The indexes of the keys in their bytewise order, equal keys in index order. With ties, also whether each
// key in that order equals the one before it.
std::vector<uint32_t> OrderOfKeys(const std::vector<std::string_view>& keys,
                                  std::vector<char>* ties = nullptr);

// Runs work(begin, end) over parts of [0, count), some parts on threads of their own: the locale's calls
// for one text do not depend on the others. Small counts stay on the calling thread, where starting a
// thread would cost more than it saves.
void InParts(size_t count, const std::function<void(size_t, size_t)>& work);
