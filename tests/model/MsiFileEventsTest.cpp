// Who is told of a change, in which order, and what they can still see when told.
#include "foundation/Errors.h"
#include "foundation/MessageTrail.h"
#include "ChangesTesting.h"

#include <functional>

namespace {

using Log = std::vector<std::wstring>;

class TableRecorder : public EventEngineSubscriber<MsiTable*, MsiFile::TableEventArg>
{
public:
    TableRecorder(MsiFile& file, Log& log) : file_(file), log_(log) {}
    ~TableRecorder() override { file_.table_events().Unsubscribe(this); }
    void watch(MsiTable& table) { file_.table_events().Subscribe(&table, this); }

    bool notify(MsiTable* const& table, const MsiFile::TableEventArg& arg, Engine&) override
    {
        RowIterator row = std::get<1>(arg);
        std::wstring line = L"table " + std::to_wstring(std::get<0>(arg)) + L" " + table->name() + L" ";
        line += row == table->rows().end() ? std::wstring(L"end") : table->RowKeyText(*row);
        line += L" rows=" + std::to_wstring(table->rows().size());
        line += file_.FindTable(table->name()).get() == table ? L" in map" : L" gone";
        log_.push_back(line);
        return false;
    }

private:
    MsiFile& file_;
    Log& log_;
};

class RowRecorder : public EventEngineSubscriber<RowIterator, MsiTable::RowEvents, RowIteratorLess>
{
public:
    RowRecorder(MsiTable& table, Log& log) : table_(table), log_(log) {}
    ~RowRecorder() override { table_.row_events().Unsubscribe(this); }
    void watch(RowIterator row) { table_.row_events().Subscribe(row, this); }

    bool notify(const RowIterator& row, const MsiTable::RowEvents& event, Engine&) override
    {
        log_.push_back(L"row " + std::to_wstring(event) + L" " + table_.RowKeyText(*row) + L" " +
                       table_.columns()[1]->display_str(*(*row)[1]) + L" rows=" +
                       std::to_wstring(table_.rows().size()));
        return false;
    }

private:
    MsiTable& table_;
    Log& log_;
};

// Watches every table added to the file from the moment it is announced.
class FileRecorder : public EventEngineSubscriber<MsiFile*, MsiTable*>
{
public:
    FileRecorder(MsiFile& file, Log& log, TableRecorder& tables) : file_(file), log_(log), tables_(tables)
    {
        file_.file_events().Subscribe(&file_, this);
    }
    ~FileRecorder() override { file_.file_events().Unsubscribe(this); }

    bool notify(MsiFile* const&, MsiTable* const& table, Engine&) override
    {
        log_.push_back(L"file " + table->name() + L" rows=" + std::to_wstring(table->rows().size()) +
                       (file_.FindTable(table->name()).get() == table ? L" in map" : L" gone"));
        // Another engine's subscriptions: no restart needed here.
        tables_.watch(*table);
        return false;
    }

private:
    MsiFile& file_;
    Log& log_;
    TableRecorder& tables_;
};

class MsiFileEventsTest : public changes_testing::SmallDatabaseTest
{
protected:
    Log log_;
};

} // namespace

TEST_F(MsiFileEventsTest, RowChangesAreToldInOrderAroundTheChange)
{
    MsiTable& plain = table(L"Plain");
    TableRecorder tables(*file_, log_);
    RowRecorder rows(plain, log_);
    tables.watch(plain);
    rows.watch(row(L"Plain", L"A"));
    rows.watch(row(L"Plain", L"B"));

    // Modifications after they are made, row first.
    file_->ModifyRow(column(L"Plain", L"Value"), row(L"Plain", L"A"), text(L"changed"));
    // Deletions while the row is still there, row first.
    file_->DeleteRow(plain, row(L"Plain", L"B"));
    // Additions once the row is in the table.
    file_->AddRow(plain, {text(L"C"), text(L"third")});
    Log expected = {L"row 0 A changed rows=2", L"table 3 Plain A rows=2 in map", L"row 1 B second rows=2",
                    L"table 4 Plain B rows=2 in map", L"table 2 Plain C rows=2 in map"};
    EXPECT_EQ(expected, log_);

    // Refused changes tell nobody.
    log_.clear();
    EXPECT_ANY_THROW(file_->AddRow(plain, {text(L"A"), text(L"duplicate")}));
    EXPECT_ANY_THROW(file_->ModifyRow(column(L"Plain", L"Key"), row(L"Plain", L"A"), text(L"C")));
    tfc::clear_thread_messages();
    EXPECT_TRUE(log_.empty());
}

TEST_F(MsiFileEventsTest, TablesAreToldWhenAddedAndBeforeTheyGo)
{
    TableRecorder tables(*file_, log_);
    FileRecorder files(*file_, log_, tables);
    MsiTable source(L"Extra", nullptr);
    source.columns().push_back(MakeFieldDef(L"Key", true, L"s20", 0, nullptr));
    source.columns().push_back(MakeFieldDef(L"Count", false, L"I4", 1, nullptr));
    for (int at = 0; at < 3; ++at)
        AppendRow(source.rows(), {text(L"k" + std::to_wstring(at)), MakeIntegerFieldData(at)});

    MsiTableRef extra = file_->AddTableWithRows(source);
    file_->DropTable(*extra);
    Log expected = {L"file Extra rows=0 in map", L"table 2 Extra k0 rows=1 in map",
                    L"table 2 Extra k1 rows=2 in map", L"table 2 Extra k2 rows=3 in map",
                    L"table 1 Extra end rows=3 in map"};
    EXPECT_EQ(expected, log_);
    EXPECT_FALSE(file_->FindTable(L"Extra"));
}
