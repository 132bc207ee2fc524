// Many rows deleted at once through MsiFile::DeleteRows: they must leave what deleting them one at a time
// leaves, in memory, in the log, in the library's file and in msitools' reading of it.
#include "model/MsiFile.h"
#include "model/MsiModification.h"
#include "ChangesTesting.h"
#include "MsitoolsPicture.h"

#include <gtest/gtest.h>
#include <algorithm>

using namespace model_testing;

namespace {

class MsiFileDeletionsTest : public changes_testing::SmallDatabaseTest
{
protected:
    // Adds `Cased`: a key of a text and a number whose texts differ only in case.
    void AddCasedTable()
    {
        close();
        {
            MsiHandle database = msi::OpenDatabase(path_, MSIDBOPEN_TRANSACT);
            Execute(database.get(), L"CREATE TABLE `Cased` (`Name` CHAR(20) NOT NULL, `Part` SHORT NOT NULL, "
                                    L"`Note` CHAR(20) PRIMARY KEY `Name`, `Part`)");
            const wchar_t* insert = L"INSERT INTO `Cased` (`Name`, `Part`, `Note`) VALUES (?, ?, ?)";
            for (const wchar_t* name : {L"k", L"K", L"kK", L"Kk"}) {
                for (int part : {1, 2})
                    Execute(database.get(), insert, {Param::Text(name), Param::Int(part), Param::Text(name)});
            }
            msi::DatabaseCommit(database.get());
        }
        file_.reset(new MsiFile());
        file_->Open(path_, MSIDBOPEN_TRANSACT);
    }

    // The rows of the table whose cells (display texts, in column order) are these, in this order.
    std::vector<RowIterator> rows_of(const wchar_t* table_name,
                                     const std::vector<std::vector<std::wstring>>& picked)
    {
        MsiTable& found = table(table_name);
        std::vector<RowIterator> rows;
        for (const std::vector<std::wstring>& cells : picked) {
            for (RowIterator it = found.rows().begin(); it != found.rows().end(); ++it) {
                bool same = true;
                for (size_t at = 0; at < cells.size(); ++at)
                    same = same && found.columns()[at]->display_str(*(*it)[at]) == cells[at];
                if (same)
                    rows.push_back(it);
            }
        }
        EXPECT_EQ(picked.size(), rows.size());
        return rows;
    }

    std::vector<std::wstring> log_texts()
    {
        std::vector<std::wstring> texts;
        for (const auto& entry : file_->change_log()) {
            auto* sql = dynamic_cast<MsiSqlModification*>(entry.get());
            std::wstring text = sql ? sql->sql() : std::wstring(L"?");
            if (sql) {
                for (const LoggedCell& cell : sql->params())
                    text += L" | " + cell.column->display_str(*cell.value);
            }
            texts.push_back(text);
        }
        return texts;
    }
};

} // namespace

TEST_F(MsiFileDeletionsTest, DeletingRowsAtOnceLeavesWhatDeletingThemOneByOneLeft)
{
    struct Case
    {
        const wchar_t* table;
        std::vector<std::vector<std::wstring>> rows;
    } cases[] = {
        {L"Plain", {{L"B"}, {L"A"}}},
        {L"Pair", {{L"x", L"<null>"}, {L"y", L"2"}}},            // a key of two columns, one null
        {L"Cased", {{L"K", L"2"}, {L"k", L"1"}, {L"Kk", L"1"}}}, // keys differing only in case
        {L"Item", {{L"c"}, {L"a"}}},                             // a stream column: row by row
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        struct Left
        {
            std::wstring memory, log, open, saved, msitools;
        } left[2];
        for (bool batch : {true, false}) {
            close();
            SetUp();
            AddCasedTable();
            std::vector<RowIterator> rows = rows_of(c.table, c.rows);
            if (batch) {
                std::vector<int> told;
                EXPECT_EQ(static_cast<int>(rows.size()),
                          file_->DeleteRows(table(c.table), rows, [&](int count) {
                              told.push_back(count);
                              return true;
                          }));
                EXPECT_EQ(static_cast<int>(rows.size()), static_cast<int>(told.size()));
            } else {
                for (RowIterator row : rows)
                    file_->DeleteRow(table(c.table), row);
            }
            Left& result = left[batch ? 0 : 1];
            result.memory = memory_picture() + table_picture(*file_, L"Cased");
            for (const std::wstring& line : log_texts())
                result.log += line + L"\n";
            // What the open database holds, which later changes find their rows in.
            auto held = SelectRows(file_->handle(), std::wstring(L"SELECT * FROM `") + c.table + L"`");
            std::sort(held.begin(), held.end());
            for (const auto& cells : held) {
                for (const std::string& cell : cells)
                    result.open += std::wstring(cell.begin(), cell.end()) + L"\t";
                result.open += L"\n";
            }
            file_->SaveInPlace(false, L"");
            close();
            std::wstring saved = folder_.file(batch ? L"batch.msi" : L"single.msi");
            ASSERT_TRUE(CopyFileW(path_.c_str(), saved.c_str(), FALSE));
            result.saved = changes_testing::FilePicture(saved, false);
            MsiFile reopened;
            reopened.Open(saved, MSIDBOPEN_READONLY);
            EXPECT_EQ(result.memory, saved_picture(saved) + table_picture(reopened, L"Cased"));
            MsitoolsPicture(saved, result.msitools);
        }
        EXPECT_EQ(left[1].memory, left[0].memory);
        EXPECT_EQ(left[1].log, left[0].log);
        EXPECT_EQ(left[1].open, left[0].open);
        EXPECT_EQ(left[1].saved, left[0].saved);
        EXPECT_EQ(left[1].msitools, left[0].msitools);
        for (const std::vector<std::wstring>& row : c.rows)
            EXPECT_EQ(std::wstring::npos,
                      left[0].memory.find(L"\n" + row[0] + L"\t" + (row.size() > 1 ? row[1] : L"")))
                << "still there: " << std::string(row[0].begin(), row[0].end());
    }
}

TEST_F(MsiFileDeletionsTest, AStoppedOrFailedDeletionKeepsMemoryLogAndFileTogether)
{
    AddCasedTable();
    // Stopped after two rows: those two went, from the file and from memory alike.
    std::vector<RowIterator> rows = rows_of(L"Cased", {{L"k", L"1"}, {L"K", L"1"}, {L"kK", L"2"}});
    EXPECT_EQ(2, file_->DeleteRows(table(L"Cased"), rows, [](int count) { return count < 2; }));
    EXPECT_EQ(6u, table(L"Cased").rows().size());
    EXPECT_EQ(2u, file_->change_log().size());
    // A row another handle took away fails as DeleteRow fails, after the rows before it went.
    rows = rows_of(L"Cased", {{L"Kk", L"1"}, {L"Kk", L"2"}, {L"k", L"2"}});
    Execute(file_->handle(), L"DELETE FROM `Cased` WHERE `Name`='Kk' AND `Part`=2");
    EXPECT_ANY_THROW(file_->DeleteRows(table(L"Cased"), rows, nullptr));
    EXPECT_EQ(5u, table(L"Cased").rows().size());
    EXPECT_EQ(3u, file_->change_log().size());
    std::wstring expected = table_picture(*file_, L"Cased");
    EXPECT_EQ(std::wstring::npos, expected.find(L"Kk\t1\t"));
    EXPECT_NE(std::wstring::npos, expected.find(L"k\t2\t"));
    std::wstring saved = folder_.file(L"saved.msi");
    file_->Save(saved, false, L"");
    close();
    MsiFile reopened;
    reopened.Open(saved, MSIDBOPEN_READONLY);
    EXPECT_EQ(expected, table_picture(reopened, L"Cased"));
}

// A save repeats a run of logged deletions in one pass: the rows before one the database lacks go, and that
// one is left to its own deletion, which fails.
TEST_F(MsiFileDeletionsTest, ARunOfLoggedDeletionsGoesInOnePassUpToAMissingRow)
{
    AddCasedTable();
    std::vector<std::unique_ptr<MsiDeleteModification>> entries;
    std::vector<const MsiDeleteModification*> run;
    for (RowIterator row : rows_of(L"Cased", {{L"k", L"1"}, {L"K", L"2"}, {L"Kk", L"1"}, {L"kK", L"2"}})) {
        entries.push_back(std::make_unique<MsiDeleteModification>(table(L"Cased"), *row));
        run.push_back(entries.back().get());
    }
    ASSERT_TRUE(run[0]->GoesWith(*run[1]));
    MSIHANDLE database = file_->handle();
    Execute(database, L"DELETE FROM `Cased` WHERE `Name`='Kk' AND `Part`=1");
    EXPECT_EQ(2u, DeleteInOnePass(database, run));
    auto left = SelectRows(database, L"SELECT `Name`, `Part` FROM `Cased`");
    std::sort(left.begin(), left.end());
    EXPECT_EQ((std::vector<std::vector<std::string>>{
                  {"K", "1"}, {"Kk", "2"}, {"k", "2"}, {"kK", "1"}, {"kK", "2"}}),
              left);
    EXPECT_ANY_THROW(entries[2]->Apply(database, nullptr));
}
