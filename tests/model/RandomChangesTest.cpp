// A seeded random run of row and table changes on a copy of a real package: adds, modifies (keys too),
// deletes, tables added and dropped, a code page. Many are refused (duplicate keys, required columns);
// none may leave a trace. After every change the row references equal a fresh build; at the end the file
// saved elsewhere by replaying the log equals the file saved in place, and both equal memory. Over rounds
// of saves of the still open database, every file written reopens as memory held it, for the program,
// for a plain compound-file reader and for msitools.
#include "model/installer/MsiDialogPreview.h"
#include "foundation/Errors.h"
#include "foundation/MessageTrail.h"
#include "foundation/Convert.h"
#include "ChangesTesting.h"
#include "CompoundFileCheck.h"
#include "MsitoolsPicture.h"

#include <random>
#include <set>

using namespace model_testing;
using changes_testing::FilePicture;
using changes_testing::LinksPicture;
using changes_testing::RebuiltLinksPicture;

namespace {

class RandomChanges
{
public:
    RandomChanges(MsiFile& file, const testing_support::ScratchFolder& folder, unsigned seed)
        : file_(file), folder_(folder), random_(seed)
    {
        // Texts the package holds anywhere: used as values, they make rows refer to each other.
        std::set<std::wstring> texts;
        for (auto& entry : file_.tables()) {
            for (MsiRow& row : entry.second->rows()) {
                for (const MsiFieldDefRef& column : entry.second->columns()) {
                    const MsiFieldData& cell = *row[column->column_index()];
                    if (entry.second->user_table() && column->kind() == MsiFieldKind::String &&
                        !cell.is_null() && cell.string().size() <= 38)
                        texts.insert(cell.string());
                }
            }
        }
        texts_.assign(texts.begin(), texts.end());
    }

    // One change; false when the database refused it.
    bool step()
    {
        int kind = pick(100);
        try {
            if (kind < 30)
                add_row();
            else if (kind < 70)
                modify_row();
            else if (kind < 88)
                delete_row();
            else if (kind < 96)
                add_table();
            else if (kind < 98)
                drop_table();
            else
                file_.SetCodepage(pick(2) ? 1252 : 1250);
            return true;
        } catch (const tfc::ManageableError&) {
        } catch (const std::exception&) {
        }
        tfc::clear_thread_messages();
        return false;
    }

    // The user tables in memory, rows sorted.
    std::wstring memory_picture()
    {
        std::wstring text;
        for (auto& entry : file_.tables()) {
            MsiTable& table = *entry.second;
            if (!table.user_table())
                continue;
            std::vector<std::wstring> rows;
            for (MsiRow& row : table.rows())
                rows.push_back(row_text(table, row));
            std::sort(rows.begin(), rows.end());
            text += L"[" + table.name() + L"]\n";
            for (const std::wstring& row : rows)
                text += row + L"\n";
        }
        return text;
    }

    static std::wstring row_text(MsiTable& table, MsiRow& row)
    {
        std::wstring line;
        for (const MsiFieldDefRef& column : table.columns()) {
            const MsiFieldData& cell = *row[column->column_index()];
            if (column->kind() == MsiFieldKind::Binary && !cell.is_null()) {
                table.ExtractCell(row, *column);
                line += stream_digest(MsiBinaryData(cell).path);
            } else if (cell.is_null()) {
            } else if (column->kind() == MsiFieldKind::Integer) {
                line += std::to_wstring(cell.integer());
            } else {
                line += cell.string();
            }
            line += L"\t";
        }
        return line;
    }

    // Deletes every row of a table one by one: the named one when the file has it, else any with rows.
    void empty_table(const std::wstring& preferred)
    {
        MsiTableRef named = file_.FindTable(preferred);
        MsiTable* table = named && !named->rows().empty() ? named.get() : nullptr;
        for (int tries = 0; !table && tries < 20; ++tries) {
            table = any_table();
            if (table && table->rows().empty())
                table = nullptr;
        }
        while (table && !table->rows().empty())
            file_.DeleteRow(*table, any_row(*table));
    }

private:
    static std::wstring stream_digest(const std::wstring& path)
    {
        return path.empty() ? L"?" : model_testing::StreamDigest(testing_support::ReadFileBytes(path));
    }

    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }

    MsiTable* any_table()
    {
        std::vector<MsiTable*> tables;
        for (auto& entry : file_.tables()) {
            if (entry.second->user_table())
                tables.push_back(entry.second.get());
        }
        return tables.empty() ? nullptr : tables[pick(static_cast<int>(tables.size()))];
    }

    RowIterator any_row(MsiTable& table)
    {
        RowIterator row = table.rows().begin();
        std::advance(row, pick(static_cast<int>(table.rows().size())));
        return row;
    }

    // A value for the column: often one the table already holds (keys collide, references hold).
    MsiFieldDataRef value_for(MsiTable& table, const MsiFieldDef& column)
    {
        if (column.nullable() && pick(10) == 0)
            return MakeNullFieldData();
        if (column.kind() == MsiFieldKind::Binary) {
            std::wstring path = folder_.file(L"stream" + std::to_wstring(++streams_) + L".bin");
            testing_support::WriteFileBytes(path,
                                            std::vector<BYTE>(pick(6000), static_cast<BYTE>(pick(256))));
            MsiFieldDataRef cell(new MsiFieldData());
            column.set_field_data(*cell, path);
            return cell;
        }
        if (!table.rows().empty() && pick(3) == 0) {
            const MsiFieldData& other = *(*any_row(table))[column.column_index()];
            if (!other.is_null())
                return column.clone_data(other);
        }
        if (column.kind() == MsiFieldKind::Integer)
            return MakeIntegerFieldData(column.width() == 2 ? pick(60) - 5 : pick(100000) - 5);
        std::wstring text = L"v" + std::to_wstring(pick(40));
        if (!texts_.empty() && pick(2)) {
            static const wchar_t* const kForms[] = {L"%", L"[%]", L"[#%] and [$%]", L"[!%]"};
            std::wstring form = kForms[pick(4)];
            text = form.replace(form.find(L'%'), 1, texts_[pick(static_cast<int>(texts_.size()))]);
            size_t second = text.find(L'%');
            if (second != std::wstring::npos)
                text.replace(second, 1, texts_[pick(static_cast<int>(texts_.size()))]);
        }
        if (column.width() != 0 && text.size() > column.width())
            text.resize(column.width());
        return MsiFieldDataRef(new MsiFieldData(text));
    }

    void add_row()
    {
        MsiTable* table = any_table();
        if (!table)
            return;
        MsiRow row;
        for (const MsiFieldDefRef& column : table->columns())
            row.push_back(value_for(*table, *column));
        file_.AddRow(*table, row);
    }

    void modify_row()
    {
        MsiTable* table = any_table();
        if (!table || table->rows().empty())
            return;
        RowIterator row = any_row(*table);
        const MsiFieldDef& column = *table->columns()[pick(static_cast<int>(table->columns().size()))];
        file_.ModifyRow(column, row, value_for(*table, column));
    }

    void delete_row()
    {
        MsiTable* table = any_table();
        if (table && !table->rows().empty())
            file_.DeleteRow(*table, any_row(*table));
    }

    void add_table()
    {
        MsiTable source(L"Random" + std::to_wstring(++tables_), nullptr);
        source.columns().push_back(MakeFieldDef(L"Key", true, L"s20", 0, nullptr));
        source.columns().push_back(MakeFieldDef(L"Number", false, L"I4", 1, nullptr));
        source.columns().push_back(MakeFieldDef(L"Text", false, L"S40", 2, nullptr));
        if (pick(2))
            source.columns().push_back(MakeFieldDef(L"Data", false, L"V0", 3, nullptr));
        for (int count = pick(5); count > 0; --count) {
            MsiRow row;
            row.push_back(MsiFieldDataRef(new MsiFieldData(L"k" + std::to_wstring(count))));
            for (size_t at = 1; at < source.columns().size(); ++at)
                row.push_back(value_for(source, *source.columns()[at]));
            AppendRow(source.rows(), row);
        }
        file_.AddTableWithRows(source);
    }

    void drop_table()
    {
        MsiTable* table = any_table();
        if (table)
            file_.DropTable(*table);
    }

    MsiFile& file_;
    const testing_support::ScratchFolder& folder_;
    std::mt19937 random_;
    std::vector<std::wstring> texts_;
    unsigned streams_ = 0;
    unsigned tables_ = 0;
};

void RunRandomChanges(const wchar_t* package, unsigned seed)
{
    std::wstring source = testing_support::TestDataPath(package);
    if (source.empty())
        GTEST_SKIP() << "no shared test data";
    testing_support::ScratchFolder folder;
    std::wstring own = folder.copy_in(source, L"own.msi");
    std::wstring copy = folder.file(L"copy.msi");
    std::wstring memory;
    {
        MsiFile file;
        ASSERT_FALSE(file.Open(own, MSIDBOPEN_TRANSACT));
        file.relationships().Build(file);
        EXPECT_FALSE(LinksPicture(file, file.relationships()).empty());
        RandomChanges changes(file, folder, seed);
        int refused = 0;
        for (int step = 0; step < 200; ++step) {
            refused += changes.step() ? 0 : 1;
            ASSERT_EQ(RebuiltLinksPicture(file), LinksPicture(file, file.relationships())) << "step " << step;
        }
        // Both kinds of outcome must be common enough to mean something.
        EXPECT_GT(refused, 10);
        EXPECT_GT(file.change_log().size(), 80u);
        memory = changes.memory_picture();
        try {
            file.SaveDatabaseAs(copy, true, L"Random");
            file.SaveInPlace(true, L"Random");
        } catch (const tfc::ManageableError& error) {
            FAIL() << tfc::to_narrow(error.message);
        }
    }
    std::wstring saved = FilePicture(own);
    EXPECT_EQ(saved, FilePicture(copy));
    MsiFile reopened;
    reopened.Open(own, MSIDBOPEN_READONLY);
    EXPECT_EQ(memory, RandomChanges(reopened, folder, 0).memory_picture());
}

// Every package of the shared test data (.msi and .msm, and the .msi and .cub files of saves), by name.
std::vector<std::wstring> SharedPackages()
{
    std::vector<std::wstring> names;
    std::wstring folder = testing_support::TestDataPath(L"");
    if (folder.empty())
        return names;
    for (const wchar_t* pattern : {L"*.msi", L"*.msm", L"saves\\*.msi", L"saves\\*.cub"}) {
        std::wstring sub(pattern);
        sub.resize(sub.rfind(L'*'));
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((folder + pattern).c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            continue;
        do
            names.push_back(sub + found.cFileName);
        while (FindNextFileW(search, &found));
        FindClose(search);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The saved file as the program reopens it, checked as a compound file first and against msitools when
// they are there.
std::wstring ReopenedPicture(const std::wstring& path, const testing_support::ScratchFolder& folder)
{
    EXPECT_EQ("", model_testing::CompoundFileFault(path)) << tfc::to_narrow(path);
    MsiFile reopened;
    reopened.Open(path, MSIDBOPEN_READONLY);
    std::wstring picture = RandomChanges(reopened, folder, 0).memory_picture();
    std::wstring outside;
    if (model_testing::MsitoolsPicture(path, outside))
        EXPECT_EQ(picture, outside) << "msitools read " << tfc::to_narrow(path);
    return picture;
}

// Shows and takes down the first dialog of the Dialog table, as the Dialogs tree's Preview does; a
// package without one (or one the changes made unfit to preview) is left alone.
void PreviewFirstDialog(MsiFile& file)
{
    MsiTableRef dialogs = file.FindTable(L"Dialog");
    if (!dialogs || dialogs->rows().empty())
        return;
    try {
        msi::DialogPreview preview(file.handle());
        preview.Show(dialogs->RowKeyText(*dialogs->rows().begin()));
        preview.Remove();
    } catch (const tfc::Win32Error&) {
        tfc::clear_thread_messages();
    }
}

// Rounds of random changes, each with one table emptied row by row (AdminExecuteSequence in the later
// rounds, as a user did), ending in a save elsewhere and a save in place of the still open database.
// Every saved file must reopen holding what memory held.
void RunSaveRounds(const std::wstring& package, unsigned seed, int rounds, int steps)
{
    SCOPED_TRACE(tfc::to_narrow(package) + " seed " + std::to_string(seed));
    testing_support::ScratchFolder folder;
    std::wstring own = folder.copy_in(testing_support::TestDataPath(package), L"own.msi");
    std::vector<std::wstring> memory;
    {
        MsiFile file;
        ASSERT_FALSE(file.Open(own, MSIDBOPEN_TRANSACT));
        RandomChanges changes(file, folder, seed);
        for (int round = 0; round < rounds; ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            for (int step = 0; step < steps; ++step) {
                changes.step();
                // A dialog preview between edits changes the Dialog row for a moment; nothing of it
                // may reach a save.
                if (step == steps / 2)
                    PreviewFirstDialog(file);
            }
            changes.empty_table(round == 0 ? std::wstring() : L"AdminExecuteSequence");
            memory.push_back(changes.memory_picture());
            std::wstring copy = folder.file(L"round" + std::to_wstring(round) + L".msi");
            file.SaveDatabaseAs(copy, true, L"Rounds");
            file.SaveInPlace(true, L"Rounds");
            // The own file stays open (and locked) until the end; the copy is there to be read now.
            EXPECT_EQ(memory.back(), ReopenedPicture(copy, folder));
        }
    }
    EXPECT_EQ(memory.back(), ReopenedPicture(own, folder));
    // Every table (the system ones too), the summary information and the code page.
    EXPECT_EQ(FilePicture(own), FilePicture(folder.file(L"round" + std::to_wstring(rounds - 1) + L".msi")));
}

} // namespace

TEST(RandomChanges, EveryPackageReopensAsEditedAfterRoundsOfSaves)
{
    std::vector<std::wstring> packages = SharedPackages();
    if (packages.empty())
        GTEST_SKIP() << "no shared test data";
    // Over 20 seeds in all, spread over the packages; the large ones of saves (each round there costs
    // several of the small ones) get two.
    unsigned per_package = static_cast<unsigned>((24 + packages.size() - 1) / packages.size());
    for (const std::wstring& package : packages) {
        unsigned seeds = package.compare(0, 6, L"saves\\") == 0 ? 2 : per_package;
        for (unsigned seed = 1; seed <= seeds; ++seed)
            RunSaveRounds(package, seed * 7919, 2, 40);
    }
}

TEST(RandomChanges, PackageSavedElsewhereEqualsPackageSavedInPlace)
{
    RunRandomChanges(L"shortcuts.msi", 20240611);
}

TEST(RandomChanges, MergeModuleWithStreamsSavedElsewhereEqualsSavedInPlace)
{
    RunRandomChanges(L"MergeModule1.msm", 7);
}
