// Random edits of every kind on real packages and a generated one, written as a transform by the
// program's own writer and applied by the installer library to a fresh copy of the base.
#include "CompoundFileCheck.h"
#include "TransformTesting.h"
#include "model/installer/MsiApi.h"
#include "model/installer/MsiIndexedApply.h"
#include "model/installer/TransformWriter.h"
#include "foundation/Convert.h"
#include "foundation/Errors.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <random>
#include <set>

using namespace transform_testing;
using testing_support::ScratchFolder;

namespace {

struct Column
{
    std::wstring name;
    wchar_t kind = L's'; // 's' text, 'i' integer, 'v' stream (lower case of the type letter)
    int size = 0;
    bool key = false;
};

struct Cell
{
    bool null = true;
    int number = 0;
    std::wstring text;
    std::string bytes;
};

using Row = std::vector<Cell>;

std::wstring sql_name(const std::wstring& name)
{
    return L"`" + name + L"`";
}

class RandomEditor
{
public:
    RandomEditor(MSIHANDLE database, const ScratchFolder& folder, unsigned seed)
        : database_(database), folder_(folder), random_(seed), stream_random_(seed)
    {
    }

    // Edits some tables' rows, empties one, drops one, adds some, and appends columns with and without
    // values.
    void Run()
    {
        std::vector<std::wstring> tables = table_names();
        ASSERT_FALSE(tables.empty());
        for (const std::wstring& table : tables)
            if (chance(60))
                edit_rows(table);
        std::wstring widened = tables[pick(tables.size())];
        append_column(widened);
        std::wstring bare = tables[pick(tables.size())];
        Exec(database_, L"ALTER TABLE " + sql_name(bare) + L" ADD `BareByTest` LONG");
        std::wstring emptied = tables[pick(tables.size())];
        empty_table(emptied);
        std::wstring dropped = tables[pick(tables.size())];
        if (dropped != widened && dropped != bare && dropped != emptied)
            Exec(database_, L"DROP TABLE " + sql_name(dropped));
        add_table();
        add_stream_tables();
        // Last, and drawn apart, so that the other edits stay as they were.
        std::set<std::wstring> left;
        for (const std::wstring& table : table_names())
            left.insert(table);
        for (const std::wstring& table : tables)
            if (left.count(table))
                change_streams(table);
    }

    int streams_changed = 0;

private:
    bool chance(int percent) { return std::uniform_int_distribution<int>(0, 99)(random_) < percent; }
    size_t pick(size_t count) { return std::uniform_int_distribution<size_t>(0, count - 1)(random_); }

    std::vector<std::wstring> table_names()
    {
        std::vector<std::wstring> names;
        MsiHandle view = msi::DatabaseOpenView(database_, L"SELECT `Name` FROM `_Tables`");
        msi::ViewExecute(view.get(), 0);
        while (MsiHandle record = msi::ViewFetch(view.get()))
            names.push_back(msi::RecordGetString(record.get(), 1));
        std::sort(names.begin(), names.end());
        return names;
    }

    std::vector<Column> columns_of(const std::wstring& table)
    {
        MsiHandle view = msi::DatabaseOpenView(database_, L"SELECT * FROM " + sql_name(table));
        MsiHandle names = msi::ViewGetColumnInfo(view.get(), MSICOLINFO_NAMES);
        MsiHandle types = msi::ViewGetColumnInfo(view.get(), MSICOLINFO_TYPES);
        MsiHandle keys = msi::DatabaseGetPrimaryKeys(database_, table);
        std::set<std::wstring> key_names;
        for (UINT i = 1; i <= msi::RecordGetFieldCount(keys.get()); ++i)
            key_names.insert(msi::RecordGetString(keys.get(), i));
        std::vector<Column> columns;
        for (UINT i = 1; i <= msi::RecordGetFieldCount(names.get()); ++i) {
            Column column;
            column.name = msi::RecordGetString(names.get(), i);
            std::wstring type = msi::RecordGetString(types.get(), i);
            column.kind = static_cast<wchar_t>(towlower(type[0]));
            if (column.kind == L'l' || column.kind == L'g')
                column.kind = L's';
            if (column.kind == L'j')
                column.kind = L'i';
            column.size = _wtoi(type.c_str() + 1);
            column.key = key_names.count(column.name) > 0;
            columns.push_back(column);
        }
        return columns;
    }

    std::vector<Row> rows_of(const std::wstring& table, const std::vector<Column>& columns)
    {
        std::vector<Row> rows;
        MsiHandle view = msi::DatabaseOpenView(database_, L"SELECT * FROM " + sql_name(table));
        msi::ViewExecute(view.get(), 0);
        while (MsiHandle record = msi::ViewFetch(view.get())) {
            Row row(columns.size());
            for (size_t i = 0; i < columns.size(); ++i) {
                UINT field = static_cast<UINT>(i + 1);
                if (msi::RecordIsNull(record.get(), field))
                    continue;
                row[i].null = false;
                if (columns[i].kind == L'i') {
                    row[i].number = msi::RecordGetInteger(record.get(), field);
                } else if (columns[i].kind == L'v') {
                    char buffer[4096];
                    while (DWORD read = msi::RecordReadStream(record.get(), field, buffer, sizeof(buffer)))
                        row[i].bytes.append(buffer, read);
                } else {
                    row[i].text = msi::RecordGetString(record.get(), field);
                }
            }
            rows.push_back(row);
        }
        return rows;
    }

    Arg arg_of(const Column& column, const Cell& cell)
    {
        if (cell.null)
            return Str(L"");
        if (column.kind == L'i')
            return Int(cell.number);
        if (column.kind == L'v') {
            std::wstring path = folder_.file(L"cell" + std::to_wstring(++files_) + L".bin");
            testing_support::WriteFileBytes(path, std::vector<BYTE>(cell.bytes.begin(), cell.bytes.end()));
            return File(path);
        }
        return Str(cell.text);
    }

    std::wstring key_condition(const std::vector<Column>& columns, const Row& row, std::vector<Arg>& args)
    {
        std::wstring where;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (!columns[i].key)
                continue;
            where += (where.empty() ? L" WHERE " : L" AND ") + sql_name(columns[i].name) + L" = ?";
            args.push_back(arg_of(columns[i], row[i]));
        }
        return where;
    }

    void insert(const std::wstring& table, const std::vector<Column>& columns, const Row& row)
    {
        std::wstring names, marks;
        std::vector<Arg> args;
        for (size_t i = 0; i < columns.size(); ++i) {
            names += (i ? L", " : L"") + sql_name(columns[i].name);
            marks += i ? L", ?" : L"?";
            args.push_back(arg_of(columns[i], row[i]));
        }
        Exec(database_, L"INSERT INTO " + sql_name(table) + L" (" + names + L") VALUES (" + marks + L")",
             args);
    }

    void remove(const std::wstring& table, const std::vector<Column>& columns, const Row& row)
    {
        std::vector<Arg> args;
        std::wstring where = key_condition(columns, row, args);
        Exec(database_, L"DELETE FROM " + sql_name(table) + where, args);
    }

    // A key no row has yet: short, so stream names stay within their limit.
    Row with_new_key(const std::vector<Column>& columns, Row row, std::set<std::vector<std::wstring>>& keys)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            for (size_t i = 0; i < columns.size(); ++i) {
                if (!columns[i].key)
                    continue;
                if (columns[i].kind == L'i') {
                    row[i].null = false;
                    row[i].number = std::uniform_int_distribution<int>(1, 30000)(random_);
                } else if (columns[i].kind == L's' && (i == 0 || chance(50))) {
                    row[i].null = false;
                    row[i].text = (row[i].text.size() > 20 ? row[i].text.substr(0, 20) : row[i].text) + L"_" +
                                  std::to_wstring(pick(1000));
                }
            }
            if (keys.insert(key_texts(columns, row)).second)
                return row;
        }
        ADD_FAILURE() << "no free key";
        return row;
    }

    std::vector<std::wstring> key_texts(const std::vector<Column>& columns, const Row& row)
    {
        std::vector<std::wstring> texts;
        for (size_t i = 0; i < columns.size(); ++i)
            if (columns[i].key)
                texts.push_back(columns[i].kind == L'i' ? std::to_wstring(row[i].number) : row[i].text);
        return texts;
    }

    void edit_rows(const std::wstring& table)
    {
        std::vector<Column> columns = columns_of(table);
        std::vector<Row> rows = rows_of(table, columns);
        std::set<std::vector<std::wstring>> keys;
        for (const Row& row : rows)
            keys.insert(key_texts(columns, row));
        std::shuffle(rows.begin(), rows.end(), random_);
        size_t next = 0;
        // A row deleted.
        if (next < rows.size() && chance(50))
            remove(table, columns, rows[next++]);
        // A row whose key changes: deleted and inserted again under a new key, streams and all.
        if (next < rows.size() && chance(50)) {
            remove(table, columns, rows[next]);
            insert(table, columns, with_new_key(columns, rows[next++], keys));
        }
        // A cell changed in place.
        if (next < rows.size())
            change_cell(table, columns, rows[next++]);
        // A row added.
        if (!rows.empty() && chance(50))
            insert(table, columns, with_new_key(columns, rows[pick(rows.size())], keys));
    }

    void change_cell(const std::wstring& table, const std::vector<Column>& columns, const Row& row)
    {
        std::vector<size_t> candidates;
        for (size_t i = 0; i < columns.size(); ++i)
            if (!columns[i].key && columns[i].kind != L'v')
                candidates.push_back(i);
        if (candidates.empty())
            return;
        size_t column = candidates[pick(candidates.size())];
        Cell cell;
        cell.null = false;
        if (columns[column].kind == L'i')
            cell.number = std::uniform_int_distribution<int>(-32767, 32767)(random_);
        else
            cell.text = L"changed " + std::to_wstring(pick(100000));
        std::vector<Arg> args = {arg_of(columns[column], cell)};
        std::wstring where = key_condition(columns, row, args);
        Exec(database_,
             L"UPDATE " + sql_name(table) + L" SET " + sql_name(columns[column].name) + L" = ?" + where,
             args);
    }

    // Stored streams given new bytes in place, as the grid's edit does it: the library keeps the old bytes
    // under a name it holds, so the layer's replace writes the new ones once the committed handle closes.
    void change_streams(const std::wstring& table)
    {
        std::vector<Column> columns = columns_of(table);
        auto stream = std::find_if(columns.begin(), columns.end(),
                                   [](const Column& column) { return column.kind == L'v'; });
        if (stream == columns.end())
            return;
        const UINT field = static_cast<UINT>(stream - columns.begin() + 1);
        for (const Row& row : rows_of(table, columns)) {
            if (row[field - 1].null || std::uniform_int_distribution<int>(0, 99)(stream_random_) >= 70)
                continue;
            std::vector<Arg> args;
            std::wstring where = key_condition(columns, row, args);
            MsiHandle params = msi::CreateRecord(static_cast<UINT>(args.size()));
            for (size_t i = 0; i < args.size(); ++i) {
                if (args[i].kind == Arg::Integer)
                    msi::RecordSetInteger(params.get(), static_cast<UINT>(i + 1), args[i].number);
                else
                    msi::RecordSetString(params.get(), static_cast<UINT>(i + 1), args[i].text);
            }
            MsiHandle view = msi::DatabaseOpenView(database_, L"SELECT * FROM " + sql_name(table) + where);
            msi::ViewExecute(view.get(), params.get());
            MsiHandle record = msi::ViewFetch(view.get());
            ASSERT_TRUE(record);
            Cell bytes;
            bytes.null = false;
            bytes.bytes =
                std::string(1 + stream_random_() % 5000, static_cast<char>('A' + stream_random_() % 26));
            std::wstring path = arg_of(*stream, bytes).text;
            msi::ReplaceFetchedRow(database_, table, view.get(), record.get(),
                                   [&](MSIHANDLE fetched) { msi::RecordSetStream(fetched, field, path); });
            ++streams_changed;
        }
    }

    void append_column(const std::wstring& table)
    {
        Exec(database_, L"ALTER TABLE " + sql_name(table) + L" ADD `AddedByTest` SHORT");
        std::vector<Column> columns = columns_of(table);
        std::vector<Row> rows = rows_of(table, columns);
        if (!rows.empty()) {
            std::vector<Arg> args = {Int(42)};
            std::wstring where = key_condition(columns, rows[pick(rows.size())], args);
            Exec(database_, L"UPDATE " + sql_name(table) + L" SET `AddedByTest` = ?" + where, args);
        }
    }

    void empty_table(const std::wstring& table)
    {
        std::vector<Column> columns = columns_of(table);
        for (const Row& row : rows_of(table, columns))
            remove(table, columns, row);
    }

    Cell random_cell(const Column& column, int null_percent)
    {
        Cell cell;
        cell.null = chance(null_percent);
        if (column.kind == L'i')
            cell.number = std::uniform_int_distribution<int>(-32767, 32767)(random_);
        else if (column.kind == L'v')
            cell.bytes = std::string(1 + pick(5000), static_cast<char>('a' + pick(26)));
        else
            cell.text = L"t" + std::to_wstring(pick(100000));
        return cell;
    }

    // Null stream cells between, before and after required columns, and at the end of a wide table
    // whose cells past column 16 are filled.
    void add_stream_tables()
    {
        const std::vector<Column> around = {{L"Id", L's', 20, true},
                                            {L"Before", L's', 20},
                                            {L"Data", L'v'},
                                            {L"After", L'i'},
                                            {L"Note", L's', 20}};
        Exec(database_, L"CREATE TABLE `AroundByTest` (`Id` CHAR(20) NOT NULL, `Before` CHAR(20) NOT NULL, "
                        L"`Data` OBJECT, `After` SHORT NOT NULL, `Note` CHAR(20) PRIMARY KEY `Id`)");
        std::vector<Column> wide = {{L"Id", L'i', 2, true}};
        std::wstring create = L"CREATE TABLE `WideByTest` (`Id` SHORT NOT NULL";
        for (int i = 1; i < 20; ++i) {
            wide.push_back({L"C" + std::to_wstring(i), i % 3 ? L's' : L'i', 10});
            create += L", `C" + std::to_wstring(i) + (i % 3 ? L"` CHAR(10)" : L"` SHORT");
        }
        wide.push_back({L"Data", L'v'});
        Exec(database_, create + L", `Data` OBJECT PRIMARY KEY `Id`)");
        for (int i = 0; i < 6; ++i) {
            Row row;
            for (size_t c = 0; c < around.size(); ++c)
                row.push_back(random_cell(around[c], c == 2 || c == 4 ? 60 : 0));
            row[0].text = L"row" + std::to_wstring(i);
            insert(L"AroundByTest", around, row);
            Row wide_row;
            for (const Column& column : wide)
                wide_row.push_back(random_cell(column, column.name == L"Id" ? 0 : 50));
            wide_row[0].number = i;
            insert(L"WideByTest", wide, wide_row);
        }
    }

    void add_table()
    {
        Exec(database_, L"CREATE TABLE `NewByTest` (`Id` CHAR(20) NOT NULL, `Number` LONG, `Text` LONGCHAR "
                        L"LOCALIZABLE, `Data` OBJECT PRIMARY KEY `Id`)");
        for (int i = 0; i < 3; ++i) {
            Row row(4);
            row[0] = Cell{false, 0, L"row" + std::to_wstring(i), {}};
            row[1] =
                Cell{false, std::uniform_int_distribution<int>(-2147483647, 2147483647)(random_), {}, {}};
            row[2] = Cell{i == 1, 0, L"text " + std::to_wstring(i), {}};
            row[3] = Cell{i == 2, 0, {}, std::string(1 + pick(9000), static_cast<char>('a' + i))};
            insert(L"NewByTest",
                   {{L"Id", L's', 20, true}, {L"Number", L'i'}, {L"Text", L's'}, {L"Data", L'v'}}, row);
        }
    }

    MSIHANDLE database_;
    const ScratchFolder& folder_;
    std::mt19937 random_;
    std::mt19937 stream_random_;
    int files_ = 0;
};

// The changed database and the base with the transform applied are both committed, checked as compound
// files and reopened before they are compared: a commit that loses rows shows there.
// Returns how many stored streams the edits gave new bytes.
int ExpectRandomRoundTrip(const std::wstring& source, unsigned seed)
{
    SCOPED_TRACE("seed " + std::to_string(seed));
    ScratchFolder folder;
    std::wstring base = folder.copy_in(source, L"base.msi");
    std::wstring changed_path = folder.copy_in(source, L"changed.msi");
    MsiHandle changed = msi::OpenDatabase(changed_path, MSIDBOPEN_TRANSACT);
    MsiHandle reference = msi::OpenDatabase(base, MSIDBOPEN_READONLY);
    RandomEditor editor(changed.get(), folder, seed);
    editor.Run();

    std::wstring transform = folder.file(L"random.mst");
    EXPECT_TRUE(msi::DatabaseGenerateTransform(changed.get(), reference.get(), transform));
    msi::CreateTransformSummaryInfo(changed.get(), reference.get(), transform, 0, 0);
    DatabaseText in_memory = DumpDatabase(changed.get());
    msi::DatabaseCommit(changed.get());
    changed.reset();
    EXPECT_EQ("", model_testing::CompoundFileFault(changed_path));
    changed = msi::OpenDatabase(changed_path, MSIDBOPEN_READONLY);
    DatabaseText expected = DumpDatabase(changed.get());
    // The open database still reads the old bytes of a stream given new ones (they reach the file at close).
    if (editor.streams_changed == 0) {
        EXPECT_EQ(in_memory, expected);
    }

    std::wstring applied_path;
    MsiHandle applied = ApplyToCopy(base, transform, folder.path(), true, &applied_path);
    EXPECT_EQ("", model_testing::CompoundFileFault(applied_path));
    DatabaseText actual = DumpDatabase(applied.get());
    // The edits reach several tables: at least the added and the widened one.
    DatabaseText before = DumpDatabase(reference.get());
    int differing = 0;
    for (const auto& table : expected)
        differing += before.count(table.first) == 0 || before[table.first] != table.second;
    EXPECT_GE(differing, 2);
    EXPECT_EQ(expected.size(), actual.size());
    for (const auto& table : expected)
        EXPECT_EQ(table.second, actual[table.first]) << "table " << tfc::to_narrow(table.first);
    return editor.streams_changed;
}

} // namespace

TEST(TransformRandomRoundTrip, SharedPackages)
{
    int found =
        testing_support::ForEachSamplePackage([](const std::wstring& name, const std::wstring& source) {
            int streams_changed = 0;
            for (unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u})
                streams_changed += ExpectRandomRoundTrip(source, seed);
            // The merge module's Binary rows have streams to change.
            if (name == L"MergeModule1.msm") {
                EXPECT_GT(streams_changed, 0);
            }
        });
    if (found == 0)
        GTEST_SKIP() << "no shared test packages";
}

namespace {

// Features keyed by text and numbers keyed by two integers, 40 rows each.
void MakeGeneratedDatabase(const std::wstring& source)
{
    std::vector<std::wstring> statements = {
        L"CREATE TABLE `Feature` (`Feature` CHAR(38) NOT NULL, `Parent` CHAR(38), `Title` CHAR(64) "
        L"LOCALIZABLE, "
        L"`Display` SHORT, `Level` SHORT NOT NULL, `Attributes` SHORT NOT NULL PRIMARY KEY `Feature`)",
        L"CREATE TABLE `Numbers` (`A` SHORT NOT NULL, `B` LONG NOT NULL, `C` CHAR(10) PRIMARY KEY `A`, `B`)"};
    for (int i = 0; i < 40; ++i) {
        statements.push_back(L"INSERT INTO `Feature` (`Feature`, `Title`, `Level`, `Attributes`) VALUES ('F" +
                             std::to_wstring(i) + L"', 'Title " + std::to_wstring(i) + L"', 1, " +
                             std::to_wstring(i % 7) + L")");
        statements.push_back(L"INSERT INTO `Numbers` (`A`, `B`, `C`) VALUES (" + std::to_wstring(i - 20) +
                             L", " + std::to_wstring(i * 100000 - 1000000) + L", 'c')");
    }
    CreateDatabase(source, statements);
}

} // namespace

TEST(TransformRandomRoundTrip, GeneratedDatabase)
{
    ScratchFolder folder;
    std::wstring source = folder.file(L"generated.msi");
    MakeGeneratedDatabase(source);
    for (unsigned seed = 10; seed < 16; ++seed)
        ExpectRandomRoundTrip(source, seed);
}

// Under Wine, tables with many records are applied by the layer with an index: here every table is.
TEST(TransformRandomRoundTrip, AppliedWithTheLayersIndex)
{
    struct Restore
    {
        size_t minimum = msi::detail::IndexedApplyMinimum();
        ~Restore() { msi::detail::IndexedApplyMinimum() = minimum; }
    } restore;
    msi::detail::IndexedApplyMinimum() = 1;
    ScratchFolder folder;
    std::wstring source = folder.file(L"generated.msi");
    MakeGeneratedDatabase(source);
    for (unsigned seed = 20; seed < 26; ++seed)
        ExpectRandomRoundTrip(source, seed);
    std::wstring shared = testing_support::TestDataPath(L"shortcuts.msi");
    if (!shared.empty()) {
        for (unsigned seed : {7u, 8u, 9u})
            ExpectRandomRoundTrip(shared, seed);
    }
}
