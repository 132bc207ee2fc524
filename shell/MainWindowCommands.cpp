// The frame's commands: the command table, menu commands by position, and the menu bar brought up to
// date before it opens.
#include "shell/MainWindow.h"

#include "foundation/Errors.h"
#include "foundation/Prompt.h"
#include "resources/ShellIds.h"
#include "shell/AboutDlg.h"
#include "shell/HelpPage.h"
#include "foundation/Options.h"
#include "shell/RecentFiles.h"
#include "shell/WaitCursor.h"

void MainWindow::OnCommand(UINT id)
{
    switch (id) {
    case ID_FILE_EXIT:
        OnClose();
        break;
    case ID_FILE_OPEN:
        OnOpen();
        break;
    case ID_FILE_CLOSE:
        OnCloseFile();
        break;
    case ID_FILE_NOT_IMPLEMENTED:
        ShowMessageBox(frame_, L"Not yet implemented", L"", MB_OK);
        break;
    case ID_FILE_SAVE:
        OnSave();
        break;
    case ID_FILE_SAVE_AS:
        OnSaveAs();
        break;
    case ID_FILE_BACKUP:
        OnBackup();
        break;
    case ID_WINDOW_NEXT:
        tabs_.NextTab();
        break;
    case ID_WINDOW_PREVIOUS:
        tabs_.PreviousTab();
        break;
    case ID_HELP_ABOUT:
        OnAbout();
        break;
    case ID_FILE_NEW:
        OnNew();
        break;
    case ID_TOOLS_OPTIONS:
        OnOptions();
        break;
    case ID_HELP_SDK:
        OnHelp();
        break;
    }
}

void MainWindow::OnMenuCommand(HMENU menu, UINT position)
{
    MENUINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIM_MENUDATA;
    GetMenuInfo(menu, &info);
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_ID | MIIM_DATA;
    if (!GetMenuItemInfoW(menu, position, TRUE, &item))
        return;
    if (info.dwMenuData) {
        reinterpret_cast<MDIChild*>(info.dwMenuData)->OnCommand(menu, item.wID);
    } else if (item.wID == ID_FILE_RECENT) {
        // The item's text may be cut or carry doubled "&": the path comes from the list it was made from.
        if (item.dwItemData < recent_shown_.size())
            OpenFiles({recent_shown_[item.dwItemData]}, false);
    } else if (item.wID == ID_WINDOW_DOCUMENT) {
        int index = tabs_.IndexOfDocument(reinterpret_cast<MDIChild*>(item.dwItemData));
        if (index >= 0)
            tabs_.SelectTab(index);
    } else {
        OnCommand(item.wID);
    }
}

void MainWindow::OnInitMenu(HMENU menu)
{
    HMENU bar = GetMenu(frame_);
    if (!bar || menu != bar)
        return;
    RebuildWindowMenu(bar);
    if (HMENU file = GetSubMenu(bar, 0)) {
        recent_shown_ = LoadMru(mru_key_.get());
        UpdateRecentFilesMenu(file, recent_shown_);
    }
    MDIChild* current = tabs_.CurrentTab();
    UINT with_document = current ? MF_ENABLED : MF_GRAYED;
    for (UINT id : {ID_FILE_CLOSE, ID_FILE_BACKUP, ID_FILE_SAVE_AS, ID_FILE_NOT_IMPLEMENTED})
        EnableMenuItem(bar, id, MF_BYCOMMAND | with_document);
    EnableMenuItem(bar, ID_FILE_SAVE,
                   MF_BYCOMMAND | (current && current->IsDirty() ? MF_ENABLED : MF_GRAYED));
}

void MainWindow::RebuildWindowMenu(HMENU bar)
{
    // The popup is found by the text it has in the resource: documents' menus come and go before it.
    HMENU resource = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAIN_MENU));
    if (!resource)
        tfc::throw_last_error(L"LoadMenu");
    wchar_t wanted[256] = {};
    GetMenuStringW(resource, 2, wanted, 256, MF_BYPOSITION);
    DestroyMenu(resource);

    HMENU window_menu = nullptr;
    for (int i = 0; i < GetMenuItemCount(bar) && !window_menu; ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(bar, i, text, 256, MF_BYPOSITION);
        if (lstrcmpW(text, wanted) == 0)
            window_menu = GetSubMenu(bar, i);
    }
    if (!window_menu)
        return;
    for (int i = GetMenuItemCount(window_menu) - 1; i >= 0; --i) {
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_DATA;
        if (!GetMenuItemInfoW(window_menu, i, TRUE, &item))
            tfc::throw_last_error(L"GetMenuItemInfo");
        if (item.dwItemData && !RemoveMenu(window_menu, i, MF_BYPOSITION))
            tfc::throw_last_error(L"RemoveMenu");
    }
    const auto& documents = tabs_.Documents();
    for (auto it = documents.rbegin(); it != documents.rend(); ++it) {
        std::wstring title = MenuTextOfPath((*it)->GetTitle());
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_ID | MIIM_STRING | MIIM_DATA;
        item.wID = ID_WINDOW_DOCUMENT;
        item.dwItemData = reinterpret_cast<ULONG_PTR>(it->get());
        item.dwTypeData = &title[0];
        if (!InsertMenuItemW(window_menu, 0, TRUE, &item))
            tfc::throw_last_error(L"InsertMenuItem");
    }
}

void MainWindow::OnSave()
{
    MDIChild* current = tabs_.CurrentTab();
    if (current && current->IsDirty())
        current->Save();
}

void MainWindow::OnSaveAs()
{
    if (MDIChild* current = tabs_.CurrentTab()) {
        current->SaveAs();
    }
}

void MainWindow::OnBackup()
{
    if (MDIChild* current = tabs_.CurrentTab())
        current->Backup();
}

void MainWindow::OnCloseFile()
{
    WaitCursor wait;
    tabs_.CloseCurrent();
    if (tabs_.Documents().empty())
        SetStatusParts({});
}

void MainWindow::OnAbout()
{
    AboutDlg().DoModal(frame_);
}

void MainWindow::OnHelp()
{
    MDIChild* current = tabs_.CurrentTab();
    if (current && current->ShowTableHelp())
        return;
    OpenHelpPage(frame_, gOptions.help_start_page);
}
