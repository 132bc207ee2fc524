#include "PackageTesting.h"
#include "ShellTesting.h"
#include "support/TestSupport.h"

#include "views/grid/CreateFieldEditor.h"

#include <gtest/gtest.h>
#include <msiquery.h>
#include <objidl.h>
#include <gdiplus.h>

namespace shell_testing {

namespace {

void Run(MSIHANDLE database, const std::wstring& sql, MSIHANDLE record = 0)
{
    MSIHANDLE view = 0;
    ASSERT_EQ(MsiDatabaseOpenViewW(database, sql.c_str(), &view), 0u) << sql;
    EXPECT_EQ(MsiViewExecute(view, record), 0u) << sql;
    MsiCloseHandle(view);
}

void InsertRows(MSIHANDLE database, const std::wstring& insert, int rows, const wchar_t* prefix, int fields)
{
    MSIHANDLE view = 0;
    ASSERT_EQ(MsiDatabaseOpenViewW(database, insert.c_str(), &view), 0u) << insert;
    MSIHANDLE record = MsiCreateRecord(fields);
    for (int i = 0; i < rows; ++i) {
        std::wstring key = prefix + std::to_wstring(i);
        for (int field = 1; field <= fields; ++field)
            MsiRecordSetStringW(record, field, field == 1 ? key.c_str() : L"x");
        ASSERT_EQ(MsiViewExecute(view, record), 0u);
    }
    MsiCloseHandle(record);
    MsiCloseHandle(view);
}

} // namespace

void BuildPackage(const std::wstring& path, int file_rows, int registry_rows, bool binary)
{
    DeleteFileW(path.c_str());
    MSIHANDLE database = 0;
    ASSERT_EQ(MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_CREATE, &database), 0u);
    Run(database, L"CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` CHAR(0) NOT NULL "
                  L"PRIMARY KEY `Property`)");
    Run(database, L"INSERT INTO `Property` (`Property`, `Value`) VALUES ('ProductName', 'Before')");
    Run(database, L"CREATE TABLE `Feature` (`Feature` CHAR(38) NOT NULL, `Title` CHAR(64) PRIMARY KEY "
                  L"`Feature`)");
    if (file_rows > 0) {
        Run(database, L"CREATE TABLE `File` (`File` CHAR(72) NOT NULL, `FileName` CHAR(255) NOT NULL "
                      L"PRIMARY KEY `File`)");
        InsertRows(database, L"INSERT INTO `File` (`File`, `FileName`) VALUES (?, ?)", file_rows, L"f", 2);
    }
    if (registry_rows > 0) {
        Run(database, L"CREATE TABLE `Registry` (`Registry` CHAR(72) NOT NULL, `Key` CHAR(255) NOT NULL "
                      L"PRIMARY KEY `Registry`)");
        InsertRows(database, L"INSERT INTO `Registry` (`Registry`, `Key`) VALUES (?, ?)", registry_rows, L"r",
                   2);
    }
    if (binary) {
        Run(database, L"CREATE TABLE `Binary` (`Name` CHAR(72) NOT NULL, `Data` OBJECT NOT NULL PRIMARY "
                      L"KEY `Name`)");
        testing_support::ScratchFolder folder;
        std::wstring data = folder.file(L"data.bin");
        testing_support::WriteFileBytes(data, {1, 2, 3, 4, 5});
        MSIHANDLE record = MsiCreateRecord(2);
        MsiRecordSetStringW(record, 1, L"Icon");
        MsiRecordSetStreamW(record, 2, data.c_str());
        Run(database, L"INSERT INTO `Binary` (`Name`, `Data`) VALUES (?, ?)", record);
        MsiCloseHandle(record);
    }
    EXPECT_EQ(MsiDatabaseCommit(database), 0u);
    MsiCloseHandle(database);
}

std::wstring QueryText(const std::wstring& path, const std::wstring& sql)
{
    // Read from a copy: the installer library keeps others out of a file that a tab holds open.
    testing_support::ScratchFolder folder;
    std::wstring copy = folder.file(L"query.msi");
    if (!CopyFileW(path.c_str(), copy.c_str(), FALSE))
        return L"<uncopyable>";
    MSIHANDLE database = 0;
    if (MsiOpenDatabaseW(copy.c_str(), MSIDBOPEN_READONLY, &database) != 0)
        return L"<unreadable>";
    std::wstring text = L"<none>";
    MSIHANDLE view = 0, record = 0;
    if (MsiDatabaseOpenViewW(database, sql.c_str(), &view) == 0 && MsiViewExecute(view, 0) == 0 &&
        MsiViewFetch(view, &record) == 0) {
        wchar_t buffer[512] = {};
        DWORD size = 512;
        MsiRecordGetStringW(record, 1, buffer, &size);
        text = buffer;
        MsiCloseHandle(record);
    }
    MsiCloseHandle(view);
    MsiCloseHandle(database);
    return text;
}

std::wstring LastSavedBy(const std::wstring& path)
{
    testing_support::ScratchFolder folder;
    std::wstring copy = folder.file(L"summary.msi");
    CopyFileW(path.c_str(), copy.c_str(), FALSE);
    MSIHANDLE summary = 0;
    if (MsiGetSummaryInformationW(0, copy.c_str(), 0, &summary) != 0)
        return L"<unreadable>";
    UINT type = 0;
    INT number = 0;
    FILETIME time = {};
    wchar_t text[256] = {};
    DWORD size = 256;
    UINT status = MsiSummaryInfoGetPropertyW(summary, 8, &type, &number, &time, text, &size);
    MsiCloseHandle(summary);
    return status == 0 && type == VT_LPSTR ? std::wstring(text) : L"<none>";
}

DatabaseFrame::DatabaseFrame(const std::wstring& command_line) : frame_(std::make_unique<MainWindow>())
{
    InstallFieldEditorFactory();
    frame_->SetCommandLine(command_line);
    frame_->SetDocumentFactory(&MsiFileTab::Make);
    frame_->SetDocumentPreparer(&MsiFileTab::PrepareOpen);
    frame_->Create();
    PumpPending();
}

DatabaseFrame::~DatabaseFrame()
{
    frame_.reset();
    PumpPending();
    DropQuitMessage();
}

MsiFileTab* DatabaseFrame::current()
{
    return dynamic_cast<MsiFileTab*>(frame_->GetTabs().CurrentTab());
}

void SaveScreenshot(HWND window, const std::wstring& name)
{
    static ULONG_PTR gdiplus = [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
        return token;
    }();
    (void)gdiplus;
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    PumpPending();
    RECT rect = {};
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    {
        Gdiplus::Bitmap image(bitmap, nullptr);
        CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        std::wstring path = testing_support::BuildPath(name);
        std::wstring partial = path + L".part";
        EXPECT_EQ(Gdiplus::Ok, image.Save(partial.c_str(), &png, nullptr));
        MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

} // namespace shell_testing
