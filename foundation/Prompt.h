#pragma once
// The one seam every modal prompt goes through: message boxes, the error dialog and file dialogs.
// Tests install a responder, so no test ever waits for a person.
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

enum class PromptKind
{
    MessageBox,  // text, caption, MB_ flags; answer.result is the button id
    ErrorDialog, // text is the error with its trail; answer.result is IDABORT or IDCONTINUE (IDIGNORE)
    OpenFiles,   // caption is the title, text the filter; answer.paths (empty: cancelled), answer.read_only
    SaveFile,    // as OpenFiles; one path
    Folder,      // caption is the title; one path
    OpenLink,    // text is the link to open; answer.result above 32 means it opened
};

struct PromptRequest
{
    PromptKind kind = PromptKind::MessageBox;
    HWND owner = nullptr;
    std::wstring text;
    std::wstring caption;
    UINT flags = 0;
    std::wstring default_extension; // SaveFile: what a name typed without one gets, or empty
};

struct PromptAnswer
{
    int result = 0;
    std::vector<std::wstring> paths;
    bool read_only = false;
};

using PromptResponder = std::function<PromptAnswer(const PromptRequest&)>;

// An empty responder puts the real prompts back. Returns the previous one.
PromptResponder SetPromptResponder(PromptResponder responder);
// True and the answer filled when a responder answered instead of a person.
bool AnswerPrompt(const PromptRequest& request, PromptAnswer& answer);

// MessageBoxW through the seam.
int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags);

// Opens the link (a web page, a file) with its associated program, through the seam; false when that
// could not be started.
bool OpenLink(HWND owner, const std::wstring& link);
