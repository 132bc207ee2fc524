// Stream cells edited in place: written from a file, saved back to a file byte for byte, the messages of
// the stream editor, and a read-only database.
#include "EditorTesting.h"

#include "foundation/WindowText.h"
#include "model/MsiBinaryData.h"
#include "views/grid/CreateFieldEditor.h"
#include "views/grid/MsiBinaryFieldEditor.h"

using namespace grid_testing;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

namespace {

const wchar_t kBinaryKey[] = L"Binary1.F844F0E3_8CB4_4A0F_973E_31C4F9338382";

std::vector<BYTE> SomeBytes(size_t count)
{
    std::vector<BYTE> bytes(count);
    unsigned seed = 12345;
    for (BYTE& byte : bytes) {
        seed = seed * 1103515245 + 12345;
        byte = static_cast<BYTE>(seed >> 16);
    }
    return bytes;
}

} // namespace

class StreamEditorTest : public EditorTest
{
protected:
    using Step = std::function<bool(MsiBinaryFieldEditor& editor, HWND dialog)>;

    bool Edit(std::vector<Step> steps)
    {
        size_t next = 0;
        bool gave_up = false;
        DWORD start = GetTickCount();
        ModalDriver driver([&] {
            auto* editor = OpenDialogEditor<MsiBinaryFieldEditor>();
            if (!editor)
                return false;
            if (GetTickCount() - start > 8000) {
                ADD_FAILURE() << "step " << next << " never finished";
                gave_up = true;
                PostMessageW(editor->GetDialogWindow(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                return true;
            }
            if (steps[next](*editor, editor->GetDialogWindow()))
                ++next;
            return next == steps.size();
        });
        PressEnter();
        return driver.finished() && !gave_up;
    }
    static Step Path(const std::wstring& path)
    {
        return [path](MsiBinaryFieldEditor&, HWND dialog) {
            SetWindowTextW(GetDlgItem(dialog, 1006), path.c_str());
            return true;
        };
    }
    static Step Click(int id)
    {
        return [id](MsiBinaryFieldEditor&, HWND dialog) {
            ClickButton(dialog, id);
            return true;
        };
    }
    // The bytes of the stream in the cell, read from its extracted file.
    std::vector<BYTE> StreamBytes(int column, int position)
    {
        MsiTable& table = *lookup->GetTable();
        RowIterator row = lookup->GetIndexedRow(position, 0);
        table.ExtractCell(*row, *lookup->GetFieldDef(column));
        MsiBinaryData data(*Field(column, position));
        EXPECT_EQ(MsiBinaryData::Extracted, data.state);
        return ReadFileBytes(data.path);
    }
};

TEST_F(StreamEditorTest, AStreamIsSavedToAFileByteForByte)
{
    if (!Open(L"MergeModule1.msm", L"Binary"))
        GTEST_SKIP() << "MergeModule1.msm is not there";
    int row = Position({kBinaryKey});
    int data = Column(L"Data");
    Focus(row, data);
    std::wstring saved = package->folder().file(L"saved.bin");

    std::wstring start_path;
    bool load_enabled = false;
    ASSERT_TRUE(Edit({[&](MsiBinaryFieldEditor&, HWND dialog) {
                          start_path = GetWindowTextString(GetDlgItem(dialog, 1006));
                          load_enabled = IsWindowEnabled(GetDlgItem(dialog, 3)) != FALSE;
                          return true;
                      },
                      Path(saved), Click(40005)}));
    EXPECT_EQ(package->folder().path(), start_path) << "the path box starts at the database's folder";
    EXPECT_TRUE(load_enabled);
    EXPECT_EQ(1, recorder->commits);
    EXPECT_FALSE(recorder->last_changed) << "saving never changes the cell";
    std::vector<BYTE> saved_bytes = ReadFileBytes(saved);
    EXPECT_FALSE(saved_bytes.empty());
    EXPECT_EQ(StreamBytes(data, row), saved_bytes);
}

// Stores what the editor commits into a row held outside the table, as the new-row dialog does.
class NewRowHandler : public MsiFieldEditorHandler
{
public:
    explicit NewRowHandler(RowIterator row) : row_(row) {}
    void CommitFieldValue(const MsiFieldDef& def, RowIterator, const MsiFieldDataRef& value,
                          bool changed) override
    {
        ++commits;
        if (changed)
            (*row_)[def.column_index()] = value;
    }
    int commits = 0;

private:
    RowIterator row_;
};

// A stream that goes into a new row, as the new-row dialog adds one: loaded into the row, saved back from
// it, and found again after the package is saved and opened.
TEST_F(StreamEditorTest, AStreamIsWrittenFromAFileAndSavedBackByteForByte)
{
    if (!Open(L"MergeModule1.msm", L"Binary"))
        GTEST_SKIP() << "MergeModule1.msm is not there";
    int data = Column(L"Data");
    const auto& folder = package->folder();
    std::wstring source = folder.file(L"source.bin");
    std::wstring copy = folder.file(L"copy.bin");
    std::vector<BYTE> source_bytes = SomeBytes(10000);
    WriteFileBytes(source, source_bytes);

    MsiRowList rows;
    RowIterator new_row =
        AppendRow(rows, {MsiFieldDataRef(new MsiFieldData(L"NewBinary")), MakeNullFieldData()});
    NewRowHandler new_row_handler(new_row);
    handler->make_editor = [&](int, int column) {
        return CreateFieldEditor(new_row_handler, *lookup->GetTable(), new_row, *lookup->GetFieldDef(column));
    };
    Focus(0, data);

    ASSERT_TRUE(Edit({Path(source), Click(3)}));
    EXPECT_EQ(1, new_row_handler.commits);
    const MsiFieldDataRef& loaded = (*new_row)[data];
    ASSERT_FALSE(loaded->is_null());
    MsiBinaryData stream(*loaded);
    EXPECT_EQ(MsiBinaryData::Extracted, stream.state);
    EXPECT_NE(source, stream.path) << "the cell has its own copy of the user's file";
    EXPECT_EQ(source_bytes, ReadFileBytes(stream.path));
    WriteFileBytes(source, {9, 9, 9}); // later changes to the user's file do not reach the cell

    ASSERT_TRUE(Edit({Path(copy), Click(40005)}));
    EXPECT_EQ(2, new_row_handler.commits);
    EXPECT_EQ(source_bytes, ReadFileBytes(copy));

    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDYES);
    WriteFileBytes(copy, {1});
    ASSERT_TRUE(Edit({Path(copy), Click(40005)}));
    ASSERT_EQ(1u, prompts.asked().size());
    EXPECT_EQ(L"Overwrite \"" + copy + L"\"?", prompts.asked()[0].text);
    EXPECT_EQ(L"File Exists", prompts.asked()[0].caption);
    EXPECT_EQ(source_bytes, ReadFileBytes(copy));

    handler->make_editor = nullptr;
    lookup->AddRow(std::vector<MsiFieldDataRef>(new_row->begin(), new_row->end()));
    SaveAndReopen();
    EXPECT_EQ(source_bytes, StreamBytes(data, Position({L"NewBinary"})));
}

// An existing row's stream loaded from a file, smaller than before, reaches the package when it is saved.
TEST_F(StreamEditorTest, AStoredRowsStreamIsWrittenFromAFileAndSaved)
{
    if (!Open(L"MergeModule1.msm", L"Binary"))
        GTEST_SKIP() << "MergeModule1.msm is not there";
    int data = Column(L"Data");
    std::wstring source = package->folder().file(L"source.bin");
    std::vector<BYTE> source_bytes = SomeBytes(51);
    WriteFileBytes(source, source_bytes);
    Focus(Position({kBinaryKey}), data);

    ASSERT_TRUE(Edit({Path(source), Click(3)}));
    EXPECT_EQ(1, recorder->commits);
    EXPECT_TRUE(recorder->last_changed);
    SaveAndReopen();
    EXPECT_EQ(source_bytes, StreamBytes(data, Position({kBinaryKey})));
}

TEST_F(StreamEditorTest, MissingPathsAndFilesAreReportedAndTheDialogStaysOpen)
{
    if (!Open(L"MergeModule1.msm", L"Binary"))
        GTEST_SKIP() << "MergeModule1.msm is not there";
    int row = Position({kBinaryKey});
    int data = Column(L"Data");
    Focus(row, data);
    std::wstring missing = package->folder().file(L"missing.bin");
    std::wstring existing = package->folder().file(L"existing.bin");
    WriteFileBytes(existing, {1, 2, 3});
    testing_support::ScriptedPrompts prompts;
    for (int answer : {IDOK, IDOK, IDOK, IDNO, IDOK})
        prompts.answer(answer);

    ASSERT_TRUE(Edit({Path(L""), Click(3), Path(missing), Click(3), Path(L""), Click(40005), Path(existing),
                      Click(40005),
                      [&](MsiBinaryFieldEditor& editor, HWND dialog) {
                          EXPECT_TRUE(IsWindowVisible(dialog)) << "still open after every message";
                          EXPECT_EQ(MsiBinaryFieldEditor::None, editor.GetResult());
                          return true;
                      },
                      Click(IDCANCEL)}));
    ASSERT_EQ(4u, prompts.asked().size());
    EXPECT_EQ(L"You must specify a path to load from", prompts.asked()[0].text);
    EXPECT_EQ(L"No path specified", prompts.asked()[0].caption);
    EXPECT_EQ(L"The file: " + missing + L" \ndoes not exist", prompts.asked()[1].text);
    EXPECT_EQ(L"Cannot load file", prompts.asked()[1].caption);
    EXPECT_EQ(L"You must specify a path to save to", prompts.asked()[2].text);
    EXPECT_EQ(L"File Exists", prompts.asked()[3].caption);
    EXPECT_EQ((std::vector<BYTE>{1, 2, 3}), ReadFileBytes(existing)) << "No keeps the file";
    EXPECT_EQ(1, recorder->commits);
    EXPECT_FALSE(recorder->last_changed);

    // A null stream cannot be saved; nothing is written.
    (*lookup->GetIndexedRow(row, 0))[data] = MakeNullFieldData();
    ASSERT_TRUE(Edit({Path(missing), Click(40005), Click(IDCANCEL)}));
    ASSERT_EQ(5u, prompts.asked().size());
    EXPECT_EQ(L"Cannot save a null binary field", prompts.asked()[4].text);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(missing.c_str()));
}

TEST_F(StreamEditorTest, AReadOnlyDatabaseOnlySavesStreams)
{
    if (!Open(L"MergeModule1.msm", L"Binary", true))
        GTEST_SKIP() << "MergeModule1.msm is not there";
    int row = Position({kBinaryKey});
    int data = Column(L"Data");
    Focus(row, data);
    std::wstring saved = package->folder().file(L"saved.bin");

    bool load_enabled = true;
    ASSERT_TRUE(Edit({[&](MsiBinaryFieldEditor&, HWND dialog) {
                          load_enabled = IsWindowEnabled(GetDlgItem(dialog, 3)) != FALSE;
                          return true;
                      },
                      Path(saved),
                      [](MsiBinaryFieldEditor&, HWND) {
                          // Enter in the path box: saving is the default button.
                          PressKey(VK_RETURN, false, false, false);
                          return true;
                      }}));
    EXPECT_FALSE(load_enabled);
    EXPECT_EQ(StreamBytes(data, row), ReadFileBytes(saved));

    // Names are strings and are not edited here at all.
    Focus(row, Column(L"Name"));
    PressEnter();
    EXPECT_FALSE(EditWindow());
    EXPECT_FALSE(host->list().GetEditor() && host->list().GetEditor() != nullptr &&
                 !dynamic_cast<MsiBinaryFieldEditor*>(host->list().GetEditor().get()));
    EXPECT_EQ(1, recorder->commits);
}
