#include "foundation/FileDialogs.h"
#include "foundation/Errors.h"
#include "foundation/Prompt.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

namespace {

// The filter text ends with two zeros; std::wstring keeps embedded zeros, so append them.
std::wstring terminated_filter(const std::wstring& filter)
{
    std::wstring result = filter;
    result.push_back(L'\0');
    result.push_back(L'\0');
    return result;
}

bool answered(PromptKind kind, HWND owner, const std::wstring& title, const std::wstring& filter, DWORD flags,
              PromptAnswer& answer, const std::wstring& default_extension = std::wstring())
{
    PromptRequest request;
    request.default_extension = default_extension;
    request.kind = kind;
    request.owner = owner;
    request.caption = title;
    request.text = filter;
    request.flags = flags;
    return AnswerPrompt(request, answer);
}

// The fields the single-file open and save dialogs share; the texts must outlive the structure.
OPENFILENAMEW single_file_dialog(HWND owner, const std::wstring& filters, const std::wstring& title,
                                 const std::wstring& initial_folder, wchar_t (&buffer)[MAX_PATH])
{
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filters.c_str();
    dialog.lpstrFile = buffer;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    dialog.lpstrInitialDir = initial_folder.empty() ? nullptr : initial_folder.c_str();
    return dialog;
}

} // namespace

void SplitOpenFilesBuffer(const wchar_t* buffer, std::vector<std::wstring>& paths)
{
    std::wstring first = buffer;
    const wchar_t* name = buffer + first.size() + 1;
    if (*name == 0) {
        paths.push_back(first);
        return;
    }
    for (; *name != 0; name += wcslen(name) + 1)
        paths.push_back(first + L"\\" + name);
}

bool ShowOpenFilesDialog(HWND owner, const std::wstring& filter, DWORD flags, const std::wstring& title,
                         bool* read_only, const std::wstring& initial_path, std::vector<std::wstring>& paths)
{
    PromptAnswer answer;
    if (answered(PromptKind::OpenFiles, owner, title, filter, flags, answer)) {
        if (answer.paths.empty())
            return false;
        paths.insert(paths.end(), answer.paths.begin(), answer.paths.end());
        if (read_only && !(flags & OFN_HIDEREADONLY))
            *read_only = answer.read_only;
        return true;
    }
    std::vector<wchar_t> buffer(15600, 0);
    initial_path.copy(buffer.data(), std::min<size_t>(initial_path.size(), buffer.size() - 2));
    std::wstring filters = terminated_filter(filter);
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filters.c_str();
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    dialog.Flags = flags;
    if (!GetOpenFileNameW(&dialog)) {
        if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
            ShowMessageBox(nullptr, L"Too many files selected.", L"", MB_OK);
        return false;
    }
    SplitOpenFilesBuffer(buffer.data(), paths);
    if (read_only && !(flags & OFN_HIDEREADONLY))
        *read_only = (dialog.Flags & OFN_READONLY) != 0;
    return true;
}

std::wstring BrowseForFile(HWND owner, const std::wstring& filter, DWORD flags, const std::wstring& title,
                           const std::wstring& initial_folder, bool* read_only)
{
    PromptAnswer answer;
    if (answered(PromptKind::OpenFiles, owner, title, filter, flags, answer)) {
        if (read_only)
            *read_only = answer.read_only;
        return answer.paths.empty() ? std::wstring() : answer.paths.front();
    }
    wchar_t buffer[MAX_PATH] = {};
    std::wstring filters = terminated_filter(filter);
    OPENFILENAMEW dialog = single_file_dialog(owner, filters, title, initial_folder, buffer);
    dialog.Flags = flags;
    if (!GetOpenFileNameW(&dialog))
        return std::wstring();
    if (read_only)
        *read_only = (dialog.Flags & OFN_READONLY) != 0;
    return buffer;
}

std::wstring BrowseForSaveFile(HWND owner, const std::wstring& initial_folder, const std::wstring& filter,
                               DWORD flags, const std::wstring& title, const std::wstring& default_extension)
{
    PromptAnswer answer;
    if (answered(PromptKind::SaveFile, owner, title, filter, flags, answer, default_extension))
        return answer.paths.empty() ? std::wstring() : answer.paths.front();
    wchar_t buffer[MAX_PATH] = {};
    std::wstring filters = terminated_filter(filter);
    OPENFILENAMEW dialog = single_file_dialog(owner, filters, title, initial_folder, buffer);
    // The dialog wants the extension without its dot.
    std::wstring extension = default_extension;
    if (!extension.empty() && extension[0] == L'.')
        extension.erase(0, 1);
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    dialog.Flags = flags;
    if (!GetSaveFileNameW(&dialog))
        return std::wstring();
    return buffer;
}

std::wstring BrowseForFolder(HWND owner, const std::wstring& title)
{
    PromptAnswer answer;
    if (answered(PromptKind::Folder, owner, title, std::wstring(), 0, answer))
        return answer.paths.empty() ? std::wstring() : answer.paths.front();
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info);
    if (!list)
        return std::wstring();
    wchar_t path[MAX_PATH] = {};
    BOOL ok = SHGetPathFromIDListW(list, path);
    CoTaskMemFree(list);
    if (!ok)
        throw tfc::Win32Error(ERROR_INVALID_PARAMETER, L"SHGetPathFromIDList");
    return path;
}

void GetDroppedFiles(HDROP drop, std::vector<std::wstring>& paths)
{
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring name(length + 1, L'\0');
        UINT copied = DragQueryFileW(drop, i, &name[0], length + 1);
        name.resize(copied);
        paths.push_back(name);
    }
}
