// What the user gets from files the open refuses and from transforms made elsewhere, through the
// program's own commands: File > Open names the reason beneath "Failed to open file: <path>", the
// transforms Windows made open and apply, and a database tab stays whatever its apply meets.
#include "PackageTesting.h"
#include "ShellTesting.h"
#include "support/TestSupport.h"

#include "foundation/Convert.h"
#include "foundation/Errors.h"
#include "foundation/MessageTrail.h"
#include "resources/ShellIds.h"
#include "shell/MsiFileTab.h"
#include "shell/MsiTransformTab.h"
#include "views/tree/MsiTableNode.h"

#include <gtest/gtest.h>
#include <algorithm>

using namespace shell_testing;
using namespace testing_support;

namespace {

const wchar_t kDamaged[] = L"The file is damaged or is not an installer database.";
const wchar_t kDoesNotFit[] = L"The transform does not fit its base.";

PromptAnswer Paths(std::vector<std::wstring> paths)
{
    PromptAnswer answer;
    answer.paths = std::move(paths);
    return answer;
}

PromptAnswer Result(int result)
{
    PromptAnswer answer;
    answer.result = result;
    return answer;
}

// What was asked, for a failure's message.
std::string Asked(ScriptedPrompts& prompts)
{
    std::string text;
    for (const auto& request : prompts.asked())
        text += tfc::to_narrow(request.caption + L": " + request.text) + "\n";
    return text;
}

// File > Open of the path; then the prompts give the answers that follow.
void OpenByCommand(DatabaseFrame& frame, ScriptedPrompts& prompts, const std::wstring& path,
                   std::vector<PromptAnswer> then)
{
    prompts.answer(Paths({path}));
    for (PromptAnswer& answer : then)
        prompts.answer(std::move(answer));
    frame->OnCommand(ID_FILE_OPEN);
}

// A copy of the transform whose summary information suppresses no error: its Character Count
// (VT_I4 0x0922001F) with the low word cleared.
std::wstring WithoutSuppressedErrors(ScratchFolder& folder, const std::wstring& transform)
{
    std::vector<BYTE> bytes = ReadFileBytes(transform);
    const BYTE flagged[] = {3, 0, 0, 0, 0x1F, 0, 0x22, 9};
    auto at = std::search(bytes.begin(), bytes.end(), std::begin(flagged), std::end(flagged));
    EXPECT_NE(bytes.end(), at);
    if (at != bytes.end())
        at[4] = 0;
    std::wstring copy = folder.file(L"unflagged.mst");
    WriteFileBytes(copy, bytes);
    return copy;
}

} // namespace

TEST(OpenRefusal, FileOpenNamesTheReasonBeneathThePath)
{
    if (TestDataPath(L"damaged").empty())
        GTEST_SKIP() << "no shared test data";
    ScratchFolder folder;
    std::wstring held = folder.file(L"Held.msi");
    BuildPackage(held, 1, 0);
    HANDLE holder =
        CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    std::wstring text = folder.file(L"Text.msi");
    WriteFileBytes(text, {'n', 'o'});
    struct Case
    {
        std::wstring path;
        std::wstring reason;
    };
    std::vector<Case> cases = {{held, L"The file is in use by another program."},
                               {text, L"The file is not an installer database."}};
    for (const wchar_t* name :
         {L"stringpool-codepage.msi", L"suminfo-property-offset.msi", L"directory-sector-zeroed.msi",
          L"duplicate-stream-name.msi", L"table-stream-made-storage.msi", L"table-stream-renamed.msi"})
        cases.push_back({TestDataPath(std::wstring(L"damaged\\") + name), kDamaged});
    DatabaseFrame frame;
    for (const Case& test : cases) {
        SCOPED_TRACE(tfc::to_narrow(test.path));
        ScriptedPrompts prompts;
        OpenByCommand(frame, prompts, test.path, {Result(IDOK)});
        ASSERT_EQ(2u, prompts.asked().size()) << Asked(prompts);
        EXPECT_EQ(L"Failed to open file: " + test.path + L"\r\n" + test.reason, prompts.asked()[1].text);
        EXPECT_EQ(L"Failed to open file", prompts.asked()[1].caption);
        EXPECT_TRUE(frame->GetTabs().Documents().empty());
    }
    CloseHandle(holder);
    EXPECT_TRUE(tfc::thread_messages().empty());
}

// The transforms Windows made: opened over their base by File > Open, and applied in a database tab by
// Transform > Apply; neither shows the table the transform drops without the base having it.
TEST(OpenRefusal, TransformsWindowsMadeOpenAndApply)
{
    std::wstring source = TestDataPath(L"transforms\\base.msi");
    if (source.empty())
        GTEST_SKIP() << "no shared test data";
    ScratchFolder folder;
    std::wstring base = folder.copy_in(source, L"base.msi");
    DatabaseFrame frame;
    frame->SetTransformFactory(&MsiTransformTab::Make);
    for (const wchar_t* name : {L"windows-made.mst", L"windows-made-1041.mst"}) {
        SCOPED_TRACE(tfc::to_narrow(name));
        std::wstring transform = TestDataPath(std::wstring(L"transforms\\") + name);
        {
            ScriptedPrompts prompts;
            OpenByCommand(frame, prompts, transform, {Paths({base})});
            ASSERT_EQ(2u, prompts.asked().size()) << Asked(prompts);
        }
        auto* tab = dynamic_cast<MsiTransformTab*>(frame->GetTabs().CurrentTab());
        ASSERT_NE(nullptr, tab);
        EXPECT_EQ(nullptr, tab->FindTableNode(L"AppId"));
        ASSERT_NE(nullptr, tab->FindTableNode(L"Directory"));
        EXPECT_EQ(3u, tab->FindTableNode(L"Directory")->GetLookup()->GetTable()->rows().size());
        ASSERT_TRUE(frame->GetTabs().CloseCurrent());

        frame->OpenFiles({base}, false);
        ASSERT_NE(nullptr, frame.current());
        {
            ScriptedPrompts prompts;
            prompts.answer(Paths({transform}));
            frame.current()->OnCommand(nullptr, ID_TRANSFORM_APPLY);
        }
        tab = dynamic_cast<MsiTransformTab*>(frame->GetTabs().CurrentTab());
        ASSERT_NE(nullptr, tab);
        EXPECT_EQ(nullptr, tab->FindTableNode(L"AppId"));
        EXPECT_EQ(3u, tab->FindTableNode(L"Directory")->GetLookup()->GetTable()->rows().size());
        ASSERT_TRUE(frame->GetTabs().CloseCurrent());
    }
}

// A transform that does not fit its base and suppresses no error: "No" to the question refuses it with
// that reason, and the database tab it was applied in stays.
TEST(OpenRefusal, ATransformThatDoesNotFitIsRefusedAndTheDatabaseTabStays)
{
    std::wstring source = TestDataPath(L"transforms\\base.msi");
    if (source.empty())
        GTEST_SKIP() << "no shared test data";
    ScratchFolder folder;
    std::wstring base = folder.copy_in(source, L"base.msi");
    std::wstring transform = WithoutSuppressedErrors(folder, TestDataPath(L"transforms\\windows-made.mst"));
    DatabaseFrame frame;
    frame->SetTransformFactory(&MsiTransformTab::Make);
    {
        ScriptedPrompts prompts;
        OpenByCommand(frame, prompts, transform, {Paths({base}), Result(IDNO), Result(IDOK)});
        ASSERT_EQ(4u, prompts.asked().size()) << Asked(prompts);
        EXPECT_EQ(L"Errors while applying transform", prompts.asked()[2].caption);
        EXPECT_EQ(L"Failed to open file: " + transform + L"\r\n" + kDoesNotFit, prompts.asked()[3].text);
        EXPECT_TRUE(frame->GetTabs().Documents().empty());
    }
    frame->OpenFiles({base}, false);
    ASSERT_NE(nullptr, frame.current());
    {
        ScriptedPrompts prompts;
        prompts.answer(Paths({transform}));
        prompts.answer(IDNO);
        try {
            frame.current()->OnCommand(nullptr, ID_TRANSFORM_APPLY);
            ADD_FAILURE() << "applied";
        } catch (const tfc::ManageableError& error) {
            EXPECT_EQ(L"The transform was not applied", error.message);
        }
        tfc::clear_thread_messages();
    }
    ASSERT_EQ(1u, frame->GetTabs().Documents().size());
    ASSERT_NE(nullptr, frame.current());
    EXPECT_EQ(base, frame.current()->GetPath());
    EXPECT_NE(nullptr, frame.current()->FindTableNode(L"Directory"));
}
