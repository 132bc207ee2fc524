#include "foundation/Prompt.h"

#include <shellapi.h>

namespace {

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
    HINSTANCE started = ShellExecuteW(owner, L"open", link.c_str(), nullptr, L"", SW_SHOW);
    return reinterpret_cast<INT_PTR>(started) > 32;
}
