// The Find pattern (literal text, whole words, case) and the dialog's walk over the open documents, with
// documents of a few cells each.
#include "views/dialogs/FindDlg.h"
#include "resources/DialogsIds.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct PatternCase
{
    const wchar_t* text;
    bool regex;
    bool match_case;
    bool whole_word;
    const wchar_t* cell;
    bool matches;
};

TEST(FindPatternTest, MatchesAsTheOptionsSay)
{
    const PatternCase cases[] = {
        {L"a.b", false, false, false, L"a.b", true},  {L"a.b", false, false, false, L"axb", false},
        {L"a.b", true, false, false, L"axb", true},   {L"(x)", false, false, false, L"f(x)", true},
        {L"Key", false, false, true, L"Key", true},   {L"Key", false, false, true, L"x Key y", true},
        {L"Key", false, false, true, L"Keys", false}, {L"a|b", true, false, true, L"a", true},
        {L"a|b", true, false, true, L"x b", true},    {L"a|b", true, false, true, L"abc", false},
        {L"a|b", true, false, true, L"xb", false},    {L"key", false, true, false, L"Key", false},
        {L"key", false, false, false, L"Key", true},
    };
    for (const PatternCase& c : cases) {
        FindPattern pattern = BuildPattern(c.text, L"", L"", c.regex, c.match_case, c.whole_word);
        EXPECT_EQ(c.matches, pattern.Matches(c.cell)) << c.text << " in " << c.cell;
    }
    EXPECT_THROW(BuildPattern(L"(", L"", L"", true, false, false), boost::regex_error);
    FindPattern filtered = BuildPattern(L"x", L"File", L"", false, false, false);
    EXPECT_TRUE(filtered.Accepts(L"File", L"FileName"));
    EXPECT_FALSE(filtered.Accepts(L"Component", L"FileName"));
}

struct Cell
{
    std::wstring table;
    std::wstring column;
    std::wstring key;
    std::wstring text;
};

// A document of cells in order; positions are the cells' locations.
class CellDocument : public FindableDocument
{
public:
    explicit CellDocument(std::vector<Cell> cells) : cells_(std::move(cells)) {}

    FindCriteria FindNext(const FindCriteria& position, const FindPattern& pattern, bool up,
                          bool before_position) override
    {
        int count = static_cast<int>(cells_.size());
        int at = -1;
        for (int i = 0; i < count; ++i) {
            if (Location(i) == position)
                at = i;
        }
        for (int step = 0; step < count; ++step) {
            int i = up ? count - 1 - step : step;
            bool after = position.empty() || (up ? i < at : i > at);
            bool before = !position.empty() && (up ? i >= at : i <= at);
            if ((before_position ? before : after) && pattern.Accepts(cells_[i].table, cells_[i].column) &&
                pattern.Matches(cells_[i].text))
                return Location(i);
        }
        return FindCriteria();
    }
    bool ShowFound(const FindCriteria& location) override
    {
        shown.push_back(location);
        return true;
    }
    void GetFindNames(std::set<std::wstring>& tables, std::set<std::wstring>& columns) override
    {
        for (const Cell& cell : cells_) {
            tables.insert(cell.table);
            columns.insert(cell.column);
        }
    }
    FindCriteria Location(int i) const
    {
        return FindCriteria(L"", cells_[i].table, cells_[i].column, {cells_[i].key});
    }

    std::vector<FindCriteria> shown;

private:
    std::vector<Cell> cells_;
};

class Documents : public FindDocuments
{
public:
    std::vector<FindableDocument*> GetFindDocuments() override { return documents; }
    int GetActiveFindDocument() override { return active; }
    void SelectFindDocument(int index) override { active = index; }

    std::vector<FindableDocument*> documents;
    int active = 0;
};

class FindDlgTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
        dialog_.Create(owner_);
    }
    void TearDown() override
    {
        dialog_.Destroy();
        DestroyWindow(owner_);
    }
    void Search(const wchar_t* text, bool regex = false, bool whole_word = false, bool all_files = false)
    {
        HWND dialog = dialog_.GetWindowHandle();
        SetDlgItemTextW(dialog, IDC_FIND_TEXT, text);
        CheckDlgButton(dialog, IDC_FIND_REGEX, regex ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, IDC_FIND_WHOLE_WORD, whole_word ? BST_CHECKED : BST_UNCHECKED);
        CheckRadioButton(dialog, IDC_FIND_ACTIVE_ONLY, IDC_FIND_ALL_FILES,
                         all_files ? IDC_FIND_ALL_FILES : IDC_FIND_ACTIVE_ONLY);
    }
    void Next() { SendMessageW(dialog_.GetWindowHandle(), WM_COMMAND, IDC_FIND_NEXT, 0); }

    HWND owner_ = nullptr;
    Documents documents_;
    FindDlg dialog_{documents_};
};

TEST_F(FindDlgTest, FindsLiteralTextAndWholeWordsAndSaysWhenItHasComeBack)
{
    CellDocument document({{L"T", L"A", L"1", L"axb"},
                           {L"T", L"A", L"2", L"a.b"},
                           {L"T", L"B", L"3", L"Keys"},
                           {L"T", L"B", L"4", L"x Key y"}});
    documents_.documents = {&document};
    testing_support::ScriptedPrompts prompts;

    Search(L"a.b");
    Next();
    ASSERT_EQ(1u, document.shown.size());
    EXPECT_EQ(document.Location(1), document.shown.back());
    // The only match again: the search has passed every place once.
    prompts.answer(IDOK);
    Next();
    ASSERT_EQ(1u, prompts.asked().size());
    EXPECT_EQ(L"No more occurrences found", prompts.asked()[0].text);
    EXPECT_EQ(1u, document.shown.size());

    Search(L"Key", false, true);
    Next();
    EXPECT_EQ(document.Location(3), document.shown.back());

    prompts.answer(IDOK);
    Search(L"nowhere");
    Next();
    EXPECT_EQ(L"No matches were found", prompts.asked().back().text);
}

TEST_F(FindDlgTest, ABadPatternGivesAMessageAndTheDialogStaysUsable)
{
    CellDocument document({{L"T", L"A", L"1", std::wstring(200000, L'x')}, {L"T", L"A", L"2", L"b(c"}});
    documents_.documents = {&document};
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDOK);
    prompts.answer(IDOK);

    Search(L"(", true);
    Next();
    Search(L"x.*y", true);
    Next();
    ASSERT_EQ(2u, prompts.asked().size());
    for (const PromptRequest& request : prompts.asked()) {
        EXPECT_EQ(PromptKind::MessageBox, request.kind);
        EXPECT_EQ(L"Cannot perform Find", request.caption);
    }
    Search(L"(");
    Next();
    ASSERT_EQ(1u, document.shown.size());
    EXPECT_EQ(document.Location(1), document.shown.back());
}

TEST_F(FindDlgTest, FindNextGoesOnInTheNextDocument)
{
    CellDocument first({{L"T", L"A", L"1", L"match"}});
    CellDocument second({{L"U", L"B", L"9", L"no"}, {L"U", L"B", L"10", L"a match"}});
    documents_.documents = {&first, &second};
    testing_support::ScriptedPrompts prompts;

    Search(L"match", false, false, true);
    Next();
    EXPECT_EQ(1u, first.shown.size());
    Next();
    ASSERT_EQ(1u, second.shown.size());
    EXPECT_EQ(second.Location(1), second.shown.back());
    EXPECT_EQ(1, documents_.active);
    prompts.answer(IDOK);
    Next();
    ASSERT_EQ(1u, prompts.asked().size());
    EXPECT_EQ(L"No more occurrences found", prompts.asked()[0].text);

    // The lists offer every name of every document once, after an empty entry.
    dialog_.Show();
    HWND tables = GetDlgItem(dialog_.GetWindowHandle(), IDC_FIND_TABLE);
    EXPECT_EQ(3, SendMessageW(tables, CB_GETCOUNT, 0, 0));
}

} // namespace
