#include "views/tree/ImportRegFile.h"

#include "foundation/Errors.h"
#include "foundation/FileDialogs.h"
#include "foundation/Prompt.h"
#include "model/CodePageText.h"
#include "model/lookups/MsiTableLookupBase.h"
#include "regimport/RegistryImport.h"
#include "frame/DocumentTab.h"

#include <commdlg.h>

namespace {

const wchar_t kCannotImport[] = L"Can not import registry files";

} // namespace

void ImportRegFile(EditableMsiFileTab& tab, HWND owner, const std::wstring& component)
{
    std::shared_ptr<MsiTableLookupBase> lookup = tab.GetTableLookup(L"Registry");
    if (!lookup || lookup->ColumnCount() != 6) {
        ShowMessageBox(owner, L"The Registry table is non-standard", kCannotImport, MB_OK);
        return;
    }
    static const wchar_t kFilter[] = L"Registry Files\0*.reg\0All Files\0*.*\0";
    std::wstring path =
        BrowseForFile(owner, FilterText(kFilter), OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY,
                      L"Open File", std::wstring());
    if (path.empty())
        return;

    std::vector<wchar_t> text = ReadRegFileText(path);
    reg_file_parser::KeyInfoSet keys;
    reg_file_parser::RegParseResult parsed =
        reg_file_parser::ParseRegFileText(text.data(), text.data() + text.size(), keys);
    if (!parsed.full) {
        ShowMessageBox(owner, RegParseFailureText(text, parsed.stop), L"Failed to import the Registry file",
                       MB_OK);
        return;
    }
    std::wstring deletion = RegKeyDeletionText(text, keys);
    if (!deletion.empty()) {
        ShowMessageBox(owner, deletion, L"Failed to import the Registry file", MB_OK);
        return;
    }

    std::wstring base = lookup->MakeUniqueKey(component + L"_reg");
    std::vector<RegistryRow> rows;
    try {
        rows = BuildRegistryRows(keys, base, component);
    } catch (const tfc::ManageableError& error) {
        ShowMessageBox(nullptr, error.message, error.caption, MB_OK);
        return;
    }
    std::wstring refusal = CheckRegistryRows(*lookup, rows);
    if (refusal.empty() && lookup->GetTable()) {
        UINT code_page = lookup->EditedCodePage();
        for (size_t at = 0; refusal.empty() && at < rows.size(); ++at)
            refusal = RowCodePageRefusal(lookup->GetTable()->columns(), rows[at], code_page);
    }
    if (!refusal.empty()) {
        ShowMessageBox(owner, refusal, kCannotImport, MB_OK);
        return;
    }

    // The tab is dirty as soon as one row went in, also when a later one is refused.
    size_t added = 0;
    try {
        for (const RegistryRow& row : rows) {
            lookup->AddRow(row);
            ++added;
        }
    } catch (...) {
        if (added != 0)
            tab.SetDirty(true);
        throw;
    }
    if (added != 0)
        tab.SetDirty(true);
}
