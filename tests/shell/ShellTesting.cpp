#include "ShellTesting.h"

#include "resources/ShellIds.h"

#include <stdexcept>

namespace shell_testing {

int TestDocumentTab::alive = 0;

TestDocumentTab::TestDocumentTab(MDITabsParent* owner, StatusBarManager* status, std::wstring path,
                                 bool read_only)
    : MsiFileTabBase(L"TestDocumentTab", owner, status, read_only), path_(std::move(path))
{
    ++alive;
}

TestDocumentTab::~TestDocumentTab()
{
    --alive;
}

void TestDocumentTab::Create(HWND parent, int x, int y, int width, int height)
{
    MsiFileTabBase::Create(parent, x, y, width, height);
    if (fail_create)
        throw tfc::Win32Error(ERROR_FILE_NOT_FOUND, L"MsiOpenDatabase");
    UpdateTabText();
}

void TestDocumentTab::Save()
{
    ++saves;
    SetDirty(false);
}

void TestDocumentTab::OnCommand(HMENU menu, UINT id)
{
    commands.emplace_back(menu, id);
}

MsiFile& TestDocumentTab::GetMsiFile()
{
    throw std::logic_error("a test document has no database");
}

HMENU TestDocumentTab::LoadMenuBar()
{
    return LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_DATABASE_MENU));
}

TestFrame::TestFrame(const std::wstring& command_line, std::function<void(TestDocumentTab&)> before_create,
                     MainWindow::DocumentPreparer preparer)
    : frame_(std::make_unique<MainWindow>()), before_create_(std::move(before_create))
{
    frame_->SetCommandLine(command_line);
    frame_->SetDocumentPreparer(std::move(preparer));
    frame_->SetDocumentFactory([this](MainWindow& frame, const std::wstring& path) {
        opened.push_back(path);
        auto document = std::make_shared<TestDocumentTab>(&frame.GetTabs(), &frame, path);
        if (before_create_)
            before_create_(*document);
        return document;
    });
    frame_->Create();
    PumpPending();
}

TestFrame::~TestFrame()
{
    frame_.reset();
    PumpPending();
    DropQuitMessage();
}

TestDocumentTab* TestFrame::document(size_t index)
{
    const auto& documents = frame_->GetTabs().Documents();
    return index < documents.size() ? dynamic_cast<TestDocumentTab*>(documents[index].get()) : nullptr;
}

std::shared_ptr<TestDocumentTab> TestFrame::Open(const std::wstring& path, bool read_only)
{
    auto document = std::make_shared<TestDocumentTab>(&frame_->GetTabs(), frame_.get(), path, read_only);
    frame_->GetTabs().AddTab(document);
    return document;
}

} // namespace shell_testing
