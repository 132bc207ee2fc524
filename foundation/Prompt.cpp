#include "foundation/Prompt.h"

#include <shellapi.h>

namespace {

bool RunningUnderWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

PromptResponder& responder()
{
    static PromptResponder current;
    return current;
}

} // namespace

PromptResponder SetPromptResponder(PromptResponder next)
{
    PromptResponder previous = std::move(responder());
    responder() = std::move(next);
    return previous;
}

bool AnswerPrompt(const PromptRequest& request, PromptAnswer& answer)
{
    if (!responder())
        return false;
    answer = responder()(request);
    return true;
}

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags)
{
    PromptRequest request;
    request.kind = PromptKind::MessageBox;
    request.owner = owner;
    request.text = text;
    request.caption = caption;
    request.flags = flags;
    PromptAnswer answer;
    if (AnswerPrompt(request, answer))
        return answer.result;
    return MessageBoxW(owner, text.c_str(), caption.empty() ? nullptr : caption.c_str(), flags);
}

bool OpenLink(HWND owner, const std::wstring& link)
{
    PromptRequest request;
    request.kind = PromptKind::OpenLink;
    request.owner = owner;
    request.text = link;
    PromptAnswer answer;
    if (AnswerPrompt(request, answer))
        return answer.result > 32;
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof(execute);
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    execute.hwnd = owner;
    execute.lpVerb = L"open";
    execute.lpFile = link.c_str();
    execute.lpDirectory = L"";
    execute.nShow = SW_SHOW;
    if (!ShellExecuteExW(&execute))
        return false;
    if (!execute.hProcess)
        return true;
    // Under Wine the call succeeds whenever its browser launcher starts; the launcher hands the link on
    // and ends at once, with a non-zero code when it found no browser. Elsewhere the process is the
    // program that shows the link, which is not waited for.
    bool opened = true;
    if (RunningUnderWine() && WaitForSingleObject(execute.hProcess, 10000) == WAIT_OBJECT_0) {
        DWORD code = 0;
        opened = GetExitCodeProcess(execute.hProcess, &code) && code == 0;
    }
    CloseHandle(execute.hProcess);
    return opened;
}
