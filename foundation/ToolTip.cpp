#include "foundation/ToolTip.h"

#include <cwchar>

namespace {

// The size comctl32 5 accepts as well as 6; the full structure of newer headers is rejected by 5.
TTTOOLINFOW tool_info()
{
    TTTOOLINFOW info = {};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    return info;
}

} // namespace

void ToolTip::Sink::GetToolTipText(NMTTDISPINFOW* info)
{
    info->lpszText = const_cast<wchar_t*>(tooltip_text_.c_str());
}

ToolTip::ToolTip() : Window(L"ToolTip") {}

ToolTip::~ToolTip()
{
    if (control_)
        DestroyWindow(control_);
    destroy_window(host_);
}

void ToolTip::Create(Sink* supplier)
{
    supplier_ = supplier;
    if (host_)
        return;
    tfc::register_window_class(L"tt"); // a second registration fails: that is fine
    host_ = create_window(0, L"tt", L"tt", WS_POPUP, 0, 0, 50, 50, nullptr);
    control_ = CreateWindowExW(
        WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (control_)
        SetWindowPos(control_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

void ToolTip::AddTool(HWND tool)
{
    TTTOOLINFOW info = tool_info();
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = host_;
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(control_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void ToolTip::AddRelayedTool(HWND tool)
{
    TTTOOLINFOW info = tool_info();
    info.uFlags = TTF_IDISHWND;
    info.hwnd = host_;
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(control_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void ToolTip::RelayEvent(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_NCMOUSEMOVE:
        break;
    default:
        return;
    }
    if (!control_)
        return;
    MSG relayed = {window, message, wparam, lparam, static_cast<DWORD>(GetMessageTime()), {}};
    DWORD position = GetMessagePos();
    relayed.pt = POINT{static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    SendMessageW(control_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

void ToolTip::AddTool(HWND tool, UINT_PTR id, const RECT& rect, const std::wstring& text)
{
    TTTOOLINFOW info = tool_info();
    info.uFlags = TTF_SUBCLASS;
    info.hwnd = tool;
    info.uId = id;
    info.rect = rect;
    info.lpszText = const_cast<wchar_t*>(text.c_str()); // the control keeps its own copy
    SendMessageW(control_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

// The control draws a tab as an empty box: the tip shows spaces in its place, the supplier's text stays.
void ToolTip::ShowTabsAsSpaces(NMTTDISPINFOW* info)
{
    const wchar_t* text = info->lpszText;
    if (!text || text == LPSTR_TEXTCALLBACKW || (info->hinst && IS_INTRESOURCE(text)) || !wcschr(text, L'\t'))
        return;
    shown_text_.clear();
    for (; *text; ++text) {
        if (*text == L'\t')
            shown_text_ += L"    ";
        else
            shown_text_ += *text;
    }
    info->lpszText = const_cast<wchar_t*>(shown_text_.c_str());
}

LRESULT ToolTip::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_NOTIFY && supplier_) {
        auto* header = reinterpret_cast<NMHDR*>(lparam);
        if (header->hwndFrom == control_ && header->code == TTN_GETDISPINFOW) {
            auto* info = reinterpret_cast<NMTTDISPINFOW*>(lparam);
            supplier_->GetToolTipText(info);
            ShowTabsAsSpaces(info);
        }
    }
    return call_previous_proc(window, message, wparam, lparam);
}
