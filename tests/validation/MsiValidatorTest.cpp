// Validation runs of the test ICE suites against small packages, on a worker as the validate command
// starts them: what reaches the results file, how failures and cancelling end a run, and the installer's
// user interface being given back.
#include "validation/MsiValidator.h"
#include "validation/ValidationTesting.h"

#include "model/MsiFile.h"
#include "foundation/ProgressWindow.h"
#include "shell/ShellTesting.h"
#include "support/TestSupport.h"
#include "validation/ValidationWindow.h"
#include "validation/ValidationProfile.h"

#include <gtest/gtest.h>
#include <msi.h>
#include <commctrl.h>

using namespace validation_testing;

namespace {

class PlainWindow
{
public:
    PlainWindow()
    {
        window = CreateWindowExW(0, L"STATIC", L"validation", WS_OVERLAPPEDWINDOW, 40, 40, 700, 400, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~PlainWindow() { DestroyWindow(window); }
    HWND window;
};

class ValidatorRun : public testing::Test
{
protected:
    void SetUp() override
    {
        suite_ = TestCubPath(L"TestSuite.cub");
        if (suite_.empty())
            GTEST_SKIP() << "the test ICE suites were not built";
    }

    // A package in the scratch folder, opened as a tab opens it.
    MsiFile& Open(const std::wstring& name, bool property_table = true, bool package_code = true)
    {
        std::wstring path = folder_.file(name);
        BuildTestPackage(path, property_table, package_code);
        files_.push_back(std::make_unique<MsiFile>());
        files_.back()->Open(path, MSIDBOPEN_TRANSACT);
        return *files_.back();
    }

    std::shared_ptr<MsiValidator> Validator(const std::vector<MsiFile*>& files,
                                            const std::vector<StoredCub>& cubs,
                                            ProgressWindow* progress = nullptr,
                                            ValidationWindow* pane = nullptr)
    {
        StoreProfile(L"Run", cubs);
        MsiValidator::Documents documents;
        for (MsiFile* file : files)
            documents.push_back(MsiValidator::Document{file, file->path()});
        return std::make_shared<MsiValidator>(results_, progress, pane, documents,
                                              std::make_shared<ValidationProfile>(L"Run"));
    }

    std::vector<std::wstring> Results() const { return SplitLines(ReadUtf16File(results_)); }

    testing_support::ScratchFolder folder_;
    std::wstring suite_;
    std::wstring results_ = folder_.file(L"results.txt");
    std::vector<std::unique_ptr<MsiFile>> files_;
};

std::wstring Replace(std::wstring text, const std::wstring& what, const std::wstring& with)
{
    for (size_t at; (at = text.find(what)) != std::wstring::npos;)
        text.replace(at, what.size(), with);
    return text;
}

const wchar_t kError[] =
    L"TSTICE01\t1\tProductCode is not a GUID\thttp://help/tstice01\tProperty\tValue\tProductCode";
const wchar_t kWarning[] = L"TSTICE01\t2\tThe 'ProductName' is\\r\\ntoo long\t\tProperty\t\tProductName";
const wchar_t kIce03Property[] = L"ICE03\t1\tTable: Property Column: Property Missing specifications in "
                                 L"_Validation Table (or Old Database)\tice03.html\tProperty";
const wchar_t kIce03Value[] = L"ICE03\t1\tTable: Property Column: Value Missing specifications in "
                              L"_Validation Table (or Old Database)\tice03.html\tProperty";
const wchar_t kIce03Feature[] = L"ICE03\t2\tTable: Feature has no rows\tice03.html\tFeature";

} // namespace

TEST_F(ValidatorRun, WritesTheLinesTheChosenIcesPostAndCountsEveryIce)
{
    struct Case
    {
        const char* what;
        bool property_table;
        bool show_info;
        std::vector<std::wstring> ices;
        std::vector<std::wstring> lines; // NAME and PATH stand for the document's
        std::wstring last_ice;
    };
    const Case cases[] = {
        {"information shown",
         true,
         true,
         {L"TSTICE01"},
         {kError, kWarning, L"TSTICE01\t3\tTSTICE01 ran", L"TSTICE01\t3\tFile name: NAME",
          L"TSTICE01\t3\tFull path: PATH"},
         L"TSTICE01"},
        {"information hidden, still counted",
         true,
         false,
         {L"TSTICE01", L"TSTICE05"},
         {kError, kWarning},
         L"TSTICE05"},
        {"ICE03 with a Property table",
         true,
         false,
         {L"TSTICE03"},
         {kIce03Property, kIce03Value, kIce03Feature},
         L"ICE03"},
        {"ICE03 without a Property table", false, false, {L"TSTICE03"}, {kIce03Feature}, L"ICE03"},
        {"short and empty messages",
         true,
         true,
         {L"TSTICE04"},
         {L"1:  ", L"TSTICE04", L"TSTICE04\t2\tafter the short ones"},
         L"TSTICE04"},
        {"no ICE chosen: copies only", true, true, {}, {}, L""},
    };
    // One window for all cases: destroying a shown one takes Wine a while.
    PlainWindow owner;
    ProgressWindow progress;
    progress.Show(nullptr, std::vector<ProgressWindow::Row>(2), owner.window);
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        MsiFile& file = Open(L"case.msi", test.property_table);
        progress.SetDetail(1, std::wstring());
        auto validator = Validator({&file}, {{suite_, test.show_info, test.ices}}, &progress);
        ASSERT_TRUE(RunJob(validator));
        EXPECT_EQ(L"", validator->ErrorText());
        std::vector<std::wstring> expected;
        for (const std::wstring& line : test.lines)
            expected.push_back(Replace(Replace(line, L"NAME", L"case.msi"), L"PATH", file.path()));
        EXPECT_EQ(expected, Results());
        // The ICE row's detail names the last ICE that posted, shown or not (the window indents it).
        wchar_t detail[64] = L"";
        GetWindowTextW(progress.GetDetailControl(1), detail, 64);
        if (!test.last_ice.empty()) {
            EXPECT_EQ(L"\t" + test.last_ice, detail);
        }
        // The copy is a package of its own that the run left unlocked.
        EXPECT_TRUE(DeleteFileW(validator->CopyPath(0).c_str()));
        validator.reset();
        files_.clear();
    }
}

namespace {

int WINAPI EarlierHandler(void*, UINT, LPCWSTR)
{
    return 0;
}

} // namespace

TEST_F(ValidatorRun, AFailureEndsTheRunWithItsErrorAndGivesTheInstallerItsInterfaceBack)
{
    std::wstring second = TestCubPath(L"TestSuite2.cub");
    // A suite that cannot run on a package: a table that does not fit the package's.
    std::wstring misfit = folder_.file(L"misfit.cub");
    BuildCub(misfit,
             {L"CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` INT PRIMARY KEY `Property`)"},
             std::string());
    struct Case
    {
        const char* what;
        bool package_code;
        bool close_results;
        std::vector<StoredCub> cubs;
        std::vector<std::wstring> error_parts;
        std::vector<std::wstring> lines;
    };
    const Case cases[] = {
        {"an ICE that fails: the ICEs and cubs after it do not run",
         true,
         false,
         {{suite_, true, {L"TSTICE02", L"TSTICE01"}}, {second, true, {L"TSTICE03"}}},
         {L"MsiDoAction", L"1603", L"The ICE TSTICE02 of the cub " + suite_ + L" failed on failing.msi"},
         {L"TSTICE02\t0\tTSTICE02 cannot go on"}},
        {"the results file cannot be written",
         true,
         true,
         {{suite_, true, {L"TSTICE01"}}},
         {L"WriteFile"},
         {}},
        {"a package without a package code",
         false,
         false,
         {{suite_, true, {L"TSTICE01"}}},
         {L"MsiOpenPackage", L"1620", L"could not be opened as a package"},
         {}},
        {"a cub whose table does not fit the package's",
         true,
         false,
         {{misfit, true, {L"TSTICE01"}}},
         {L"Differing field types for field index: 1", L"Failed to merge the table Property",
          L"could not be merged into a copy of failing.msi"},
         {}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        MsiFile& file = Open(L"failing.msi", true, test.package_code);
        auto validator = Validator({&file}, test.cubs);
        if (test.close_results)
            validator->CloseResultsFile();
        MsiSetExternalUIW(&EarlierHandler, INSTALLLOGMODE_INFO, nullptr);
        MsiSetInternalUI(INSTALLUILEVEL_BASIC, nullptr);
        ASSERT_TRUE(RunJob(validator));
        for (const std::wstring& part : test.error_parts)
            EXPECT_NE(std::wstring::npos, validator->ErrorText().find(part))
                << validator->ErrorText().c_str();
        EXPECT_EQ(test.lines, Results());
        EXPECT_EQ(&EarlierHandler, MsiSetExternalUIW(nullptr, 0, nullptr));
        EXPECT_EQ(INSTALLUILEVEL_BASIC, MsiSetInternalUI(INSTALLUILEVEL_DEFAULT, nullptr));
        EXPECT_TRUE(DeleteFileW(validator->CopyPath(0).c_str())) << "the copy is left unlocked";
        validator.reset();
        files_.clear();
    }
}

TEST_F(ValidatorRun, AnIceThatCannotStartIsListedAsItsFailureAndTheOthersRun)
{
    // The suite with its DLL built for 32 bits runs where the installer has its 32-bit server; elsewhere
    // each of its ICEs is listed as not started instead of leaving the installer waiting for the server.
    std::wstring thirty_two = TestCubPath(L"TestSuite32.cub");
    ASSERT_FALSE(thirty_two.empty());
    std::wstring no_dll = folder_.file(L"nodll.cub");
    BuildCub(no_dll, {}, "just text, no program");
    const wchar_t kNotThirtyTwo[] =
        L"TSTICE01\t0\tTSTICE01 cannot run on this system: its DLL is 32-bit, and "
        L"this system cannot run 32-bit custom actions.";
    const wchar_t kNoDll[] =
        L"TSTICE01\t0\tTSTICE01 cannot run on this system: its Binary row IceDll holds no DLL.";
    const wchar_t kNotThirtyTwo03[] =
        L"TSTICE03\t0\tTSTICE03 cannot run on this system: its DLL is 32-bit, and "
        L"this system cannot run 32-bit custom actions.";
    struct Case
    {
        const char* what;
        std::vector<StoredCub> cubs;
        std::vector<std::wstring> lines;
    };
    const Case cases[] = {
        {"the 32-bit suite",
         {{thirty_two, false, {L"TSTICE01", L"TSTICE03"}}},
         RunsThirtyTwoBitIces()
             ? std::vector<std::wstring>{kError, kWarning, kIce03Property, kIce03Value, kIce03Feature}
             : std::vector<std::wstring>{kNotThirtyTwo, kNotThirtyTwo03}},
        {"a DLL that is no program, then the 64-bit suite",
         {{no_dll, false, {L"TSTICE01"}}, {suite_, false, {L"TSTICE01"}}},
         {kNoDll, kError, kWarning}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        MsiFile& file = Open(L"blocked.msi");
        auto validator = Validator({&file}, test.cubs);
        ASSERT_TRUE(RunJob(validator));
        EXPECT_EQ(L"", validator->ErrorText());
        EXPECT_EQ(test.lines, Results());
        EXPECT_TRUE(DeleteFileW(validator->CopyPath(0).c_str())) << "the copy is left unlocked";
        validator.reset();
        files_.clear();
    }
}

namespace {

// Cancels the run while the pane lists its first message, as the progress window's Cancel would.
LRESULT CALLBACK CancelOnFirstRow(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                  DWORD_PTR task)
{
    if (message == ValidationWindow::kAddRowMessage)
        reinterpret_cast<MsiValidator*>(task)->SetCancelled();
    return DefSubclassProc(window, message, wparam, lparam);
}

} // namespace

TEST_F(ValidatorRun, CancelAnsweredByTheHandlerStopsTheRunWithoutAnError)
{
    PlainWindow owner;
    ValidationWindow pane;
    pane.Create(owner.window);
    MsiFile& file = Open(L"cancelled.msi");
    auto validator = Validator({&file}, {{suite_, true, {L"TSTICE01", L"TSTICE03"}}}, nullptr, &pane);
    SetWindowSubclass(pane.GetWindowHandle(), &CancelOnFirstRow, 1,
                      reinterpret_cast<DWORD_PTR>(validator.get()));
    ASSERT_TRUE(RunJob(validator));
    RemoveWindowSubclass(pane.GetWindowHandle(), &CancelOnFirstRow, 1);
    EXPECT_EQ(L"", validator->ErrorText());
    EXPECT_EQ(std::vector<std::wstring>{kError}, Results());
    EXPECT_EQ(1u, pane.Store().Count());
}

TEST_F(ValidatorRun, EachDocumentIsValidatedUnderItsOwnNames)
{
    MsiFile& first = Open(L"first.msi");
    MsiFile& second = Open(L"second.msi");
    auto validator = Validator({&first, &second}, {{suite_, true, {L"TSTICE01"}}});
    ASSERT_TRUE(RunJob(validator));
    EXPECT_EQ(L"", validator->ErrorText());
    std::vector<std::wstring> names;
    for (const std::wstring& line : Results())
        if (line.find(L"File name: ") != std::wstring::npos ||
            line.find(L"Full path: ") != std::wstring::npos)
            names.push_back(line.substr(line.find(L": ") + 2));
    EXPECT_EQ((std::vector<std::wstring>{L"first.msi", first.path(), L"second.msi", second.path()}), names);
}

namespace {

// The evaluation object as the platform would have it: records the calls, fails the step it is told to,
// and reports its messages through the display callback while it validates.
class FakeEvaluator : public IIceEvaluator
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OpenDatabase(LPCWSTR path) override
    {
        return Step(L"OpenDatabase " + std::wstring(path));
    }
    HRESULT STDMETHODCALLTYPE OpenCub(LPCWSTR path) override
    {
        return Step(L"OpenCub " + std::wstring(path));
    }
    HRESULT STDMETHODCALLTYPE CloseDatabase() override { return Step(L"CloseDatabase"); }
    HRESULT STDMETHODCALLTYPE CloseCub() override { return Step(L"CloseCub"); }
    HRESULT STDMETHODCALLTYPE SetDisplay(IceDisplayCallback callback, void* context) override
    {
        callback_ = callback;
        context_ = context;
        return Step(L"SetDisplay");
    }
    HRESULT STDMETHODCALLTYPE Unused8(void*, void*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Validate(LPCWSTR ices) override
    {
        answers.push_back(
            callback_(context_, 1, L"TSTICE01", L"Bad \"value\"", L"help\tProperty\tValue\tProductCode"));
        answers.push_back(callback_(context_, 3, L"TSTICE05", L"information", nullptr));
        answers.push_back(callback_(context_, 2, nullptr, nullptr, nullptr));
        return Step(L"Validate " + std::wstring(ices));
    }

    std::wstring fail;
    std::vector<std::wstring> calls;
    std::vector<BOOL> answers;

private:
    HRESULT Step(const std::wstring& call)
    {
        calls.push_back(call);
        return call.compare(0, fail.size(), fail) == 0 && !fail.empty() ? E_FAIL : S_OK;
    }
    IceDisplayCallback callback_ = nullptr;
    void* context_ = nullptr;
};

} // namespace

TEST_F(ValidatorRun, TheEvaluationObjectPathClosesWhatItOpenedOnEveryWayOut)
{
    struct Case
    {
        const char* what;
        std::wstring fail;
        bool close_results;
        std::wstring error;
        std::vector<std::wstring> calls; // COPY and CUB stand for the paths
        std::vector<std::wstring> lines;
    };
    const std::vector<std::wstring> all = {L"SetDisplay",  L"OpenDatabase COPY",
                                           L"OpenCub CUB", L"Validate TSTICE01:TSTICE05",
                                           L"CloseCub",    L"CloseDatabase"};
    const std::vector<std::wstring> lines = {L"TSTICE01\t1\tBad 'value'\thelp\tProperty\tValue\tProductCode",
                                             L"\t2\t\t"};
    const Case cases[] = {
        {"all goes well", L"", false, L"", all, lines},
        {"the cub does not open",
         L"OpenCub",
         false,
         L"MSI.EVALCOM2 failed to open the cub",
         {L"SetDisplay", L"OpenDatabase COPY", L"OpenCub CUB", L"CloseDatabase"},
         {}},
        {"validating fails", L"Validate", false, L"MSI.EVALCOM2 failed to validate", all, lines},
        {"closing fails", L"CloseCub", false, L"MSI.EVALCOM2 failed to close the cub", all, lines},
        {"the callback cannot write", L"", true, L"WriteFile", all, {}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        MsiFile& file = Open(L"evaluated.msi");
        auto validator = Validator({&file}, {{suite_, false, {L"TSTICE01", L"TSTICE05"}}});
        if (test.close_results)
            validator->CloseResultsFile();
        ValidationProfile profile(L"Run");
        FakeEvaluator evaluator;
        evaluator.fail = test.fail;
        std::wstring error;
        try {
            validator->RunEvalCom(evaluator, validator->CopyPath(0), profile.cubs().back());
        } catch (const tfc::ManageableError& failure) {
            error = failure.message;
        } catch (const tfc::Win32Error& failure) {
            error = failure.function();
        }
        EXPECT_EQ(test.error, error);
        std::vector<std::wstring> calls;
        for (const std::wstring& expected : test.calls)
            calls.push_back(Replace(Replace(expected, L"COPY", validator->CopyPath(0)), L"CUB", suite_));
        EXPECT_EQ(calls, evaluator.calls);
        // The object is told to stop once a message could not be kept.
        if (!evaluator.answers.empty()) {
            EXPECT_EQ(test.close_results ? FALSE : TRUE, evaluator.answers.front());
        }
        validator->CloseResultsFile();
        EXPECT_EQ(test.lines, Results());
        validator.reset();
        files_.clear();
    }
}
