#include "model/CodePageText.h"

#include "model/installer/TransformStringPool.h"

namespace {

std::wstring CodePageName(UINT code_page)
{
    if (code_page == 0)
        return L"0 (neutral, stored as the system's code page " + std::to_wstring(GetACP()) + L")";
    return std::to_wstring(code_page);
}

} // namespace

std::wstring CodePageRefusal(const std::wstring& text, UINT code_page, const std::wstring& holder)
{
    std::string bytes;
    if (msi::EncodeInCodePage(text, code_page, bytes))
        return std::wstring();
    // The characters named one by one, each once; a surrogate pair is one character.
    std::wstring missing;
    for (size_t at = 0; at < text.size();) {
        size_t length = IS_HIGH_SURROGATE(text[at]) && at + 1 < text.size() ? 2 : 1;
        std::wstring character = text.substr(at, length);
        at += length;
        if (missing.find(character) == std::wstring::npos &&
            !msi::EncodeInCodePage(character, code_page, bytes))
            missing += character;
    }
    std::wstring where = missing == text ? std::wstring() : L" of \"" + text + L"\"";
    return holder + L" " + CodePageName(code_page) + L" cannot hold the characters \"" + missing + L"\"" +
           where + L": they would be stored as others. Use other characters, or change the code page first.";
}

std::wstring RowCodePageRefusal(const MsiColumns& columns, const std::vector<MsiFieldDataRef>& values,
                                UINT code_page)
{
    for (size_t column = 0; column < columns.size() && column < values.size(); ++column) {
        const MsiFieldDataRef& value = values[column];
        if (columns[column]->kind() != MsiFieldKind::String || !value || value->is_null())
            continue;
        std::wstring refusal = CodePageRefusal(value->string(), code_page);
        if (!refusal.empty())
            return columns[column]->name() + L": " + refusal;
    }
    return std::wstring();
}
