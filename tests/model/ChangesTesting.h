#pragma once
// Comparable pictures of a database and of its row references, for the change-log, save and tracking
// tests: rows sorted within each table (row order is not part of what a save keeps), streams as digests.
#include "model/installer/MsiApi.h"
#include "model/MsiFile.h"
#include "model/SchemaRelationships.h"
#include "foundation/MessageTrail.h"
#include "MsiTestDatabase.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace changes_testing {

// Every table (columns, types, sorted rows), the summary information but for the save time, and the code
// page. Without streams_table, `_Streams` is left out (in memory it is not kept current).
std::wstring DatabasePicture(MsiFile& file, bool streams_table = true);
// The file at path, opened read-only, as DatabasePicture.
std::wstring FilePicture(const std::wstring& path, bool streams_table = true);
// One line per link of the tracking: referring table and key, referred table and key, relationships.
std::wstring LinksPicture(MsiFile& file, const SchemaRelationships& tracking);
// The same, with the links built afresh.
std::wstring RebuiltLinksPicture(MsiFile& file);

using namespace model_testing;

inline std::vector<BYTE> Bytes(const std::string& text)
{
    return std::vector<BYTE>(text.begin(), text.end());
}

// A small database of three tables (Item with a stream, Plain, Pair with a two-column key holding a null),
// opened transacted.
class SmallDatabaseTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path_ = folder_.file(L"changes.msi");
        stream_a_ = folder_.file(L"a.bin");
        testing_support::WriteFileBytes(stream_a_, Bytes("stream of row a"));
        CreateDatabaseFile(
            path_, {L"CREATE TABLE `Item` (`Name` CHAR(20) NOT NULL, `Number` SHORT, `Note` CHAR(40), "
                    L"`Data` OBJECT PRIMARY KEY `Name`)",
                    L"CREATE TABLE `Plain` (`Key` CHAR(20) NOT NULL, `Value` CHAR(40) PRIMARY KEY `Key`)",
                    L"CREATE TABLE `Pair` (`Value` CHAR(20), `K` CHAR(20) NOT NULL, `N` SHORT "
                    L"PRIMARY KEY `K`, `N`)"});
        MsiHandle database = msi::OpenDatabase(path_, MSIDBOPEN_TRANSACT);
        const wchar_t* item = L"INSERT INTO `Item` (`Name`, `Number`, `Note`, `Data`) VALUES (?, ?, ?, ?)";
        Execute(database.get(), item,
                {Param::Text(L"a"), Param::Int(1), Param::Text(L"note a"), Param::StreamFile(stream_a_)});
        Execute(database.get(), item, {Param::Text(L"b"), Param::Int(2), Param::Null(), Param::Null()});
        Execute(database.get(), item,
                {Param::Text(L"c"), Param::Null(), Param::Text(L"note c"), Param::Null()});
        const wchar_t* plain = L"INSERT INTO `Plain` (`Key`, `Value`) VALUES (?, ?)";
        Execute(database.get(), plain, {Param::Text(L"A"), Param::Text(L"first")});
        Execute(database.get(), plain, {Param::Text(L"B"), Param::Text(L"second")});
        const wchar_t* pair = L"INSERT INTO `Pair` (`Value`, `K`, `N`) VALUES (?, ?, ?)";
        Execute(database.get(), pair, {Param::Text(L"one"), Param::Text(L"x"), Param::Int(1)});
        Execute(database.get(), pair, {Param::Text(L"none"), Param::Text(L"x"), Param::Null()});
        Execute(database.get(), pair, {Param::Text(L"two"), Param::Text(L"y"), Param::Int(2)});
        msi::DatabaseCommit(database.get());
        database.reset();
        file_.reset(new MsiFile());
        file_->Open(path_, MSIDBOPEN_TRANSACT);
        tfc::clear_thread_messages();
    }

    // Wine opens no file that a transacted handle holds, not even to read it.
    void close() { file_.reset(); }

    MsiTable& table(const wchar_t* name) { return *file_->FindTable(name); }

    // The row whose column (the first one by default) reads value.
    RowIterator row(const wchar_t* table_name, const std::wstring& value, const wchar_t* column = nullptr)
    {
        MsiTable& found = table(table_name);
        const MsiFieldDef& by = column ? *found.FindColumn(column) : *found.columns()[0];
        for (RowIterator it = found.rows().begin(); it != found.rows().end(); ++it) {
            if (by.display_str(*(*it)[by.column_index()]) == value)
                return it;
        }
        ADD_FAILURE() << "no row " << std::string(value.begin(), value.end());
        return found.rows().end();
    }

    const MsiFieldDef& column(const wchar_t* table_name, const wchar_t* name)
    {
        return *table(table_name).FindColumn(name);
    }

    MsiFieldDataRef text(const std::wstring& value) { return MsiFieldDataRef(new MsiFieldData(value)); }

    MsiRow item_row(const std::wstring& name, int number, const std::wstring& note,
                    const std::wstring& stream)
    {
        MsiTable& items = table(L"Item");
        MsiRow row = {text(name), MakeIntegerFieldData(number), text(note), MakeNullFieldData()};
        if (!stream.empty()) {
            row[3] = MsiFieldDataRef(new MsiFieldData());
            items.columns()[3]->set_field_data(*row[3], stream);
        }
        return row;
    }

    // The bytes of the stream of an Item row in a saved file.
    std::string stored_stream(const std::wstring& path, const std::wstring& name)
    {
        MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_READONLY);
        auto rows =
            SelectRows(database.get(), L"SELECT `Data` FROM `Item` WHERE `Name`=?", {Param::Text(name)});
        return rows.size() == 1 ? rows[0][0] : std::string("<no row>");
    }

    // What the open database holds, user tables only (the system tables in memory are not kept current).
    std::wstring memory_picture()
    {
        std::wstring text;
        for (const wchar_t* name : {L"Item", L"Pair", L"Plain"})
            text += table_picture(*file_, name);
        return text;
    }

    static std::wstring table_picture(MsiFile& file, const wchar_t* name)
    {
        MsiTableRef found = file.FindTable(name);
        if (!found)
            return std::wstring(L"no table ") + name + L"\n";
        std::vector<std::wstring> rows;
        for (RowIterator it = found->rows().begin(); it != found->rows().end(); ++it) {
            std::wstring line;
            for (const MsiFieldDefRef& column : found->columns())
                line += column->display_str(*(*it)[column->column_index()]) + L"\t";
            rows.push_back(line);
        }
        std::sort(rows.begin(), rows.end());
        std::wstring text = std::wstring(L"[") + name + L"]\n";
        for (const std::wstring& line : rows)
            text += line + L"\n";
        return text;
    }

    std::wstring saved_picture(const std::wstring& path)
    {
        MsiFile saved;
        saved.Open(path, MSIDBOPEN_READONLY);
        std::wstring text;
        for (const wchar_t* name : {L"Item", L"Pair", L"Plain"})
            text += table_picture(saved, name);
        return text;
    }

    testing_support::ScratchFolder folder_;
    std::wstring path_, stream_a_;
    std::unique_ptr<MsiFile> file_;
};

} // namespace changes_testing
