// The value index of row references against reading every row: values read in place (short and long
// texts, numbers of every sign and size, nulls), rows changed in place, added and removed many times over,
// so that the index grows, reuses freed places and is rebuilt.
#include "model/RowValueIndex.h"

#include <gtest/gtest.h>
#include <climits>
#include <random>
#include <set>

namespace {

// What a cell gives a relationship, written apart from the program's own reading.
bool Expected(const MsiFieldDef& column, const MsiFieldData& cell, std::wstring& value)
{
    if (cell.is_null() || column.kind() == MsiFieldKind::Binary)
        return false;
    if (column.kind() == MsiFieldKind::String) {
        value = cell.string();
        return true;
    }
    if (cell.integer() == INT_MIN)
        return false;
    value = std::to_wstring(cell.integer());
    return true;
}

MsiFieldDataRef Text(const std::wstring& text)
{
    return text.empty() ? MakeNullFieldData() : MsiFieldDataRef(new MsiFieldData(text));
}

MsiTableRef ItemTable()
{
    MsiTableRef table(new MsiTable(L"Item", nullptr));
    const wchar_t* const types[] = {L"s20", L"S255", L"I4", L"I2"};
    for (int at = 0; at < 4; ++at)
        table->columns().push_back(MakeFieldDef(L"C" + std::to_wstring(at), at == 0, types[at], at, nullptr));
    return table;
}

} // namespace

TEST(RowValueIndex, ReadsNumbersAndTextsInPlaceAsACopyReadsThem)
{
    MsiTableRef table = ItemTable();
    const std::vector<int> numbers = {0, 1, 9, 10, -1, -9, -10, 16, 99999, INT_MAX, INT_MIN + 1, INT_MIN};
    const std::vector<std::wstring> texts = {
        L"a", L"16", L"twelve chars", L"thirteen char", std::wstring(300, L'x'), L"-2147483647", L""};
    std::vector<MsiFieldDataRef> cells;
    for (int number : numbers)
        cells.push_back(MakeIntegerFieldData(number));
    for (const std::wstring& text : texts)
        cells.push_back(Text(text));
    for (int column : {1, 2}) {
        for (const MsiFieldDataRef& cell : cells) {
            std::wstring expected;
            bool has = Expected(*table->columns()[column], *cell, expected);
            table_relationships::ValueText number;
            std::wstring_view view;
            ASSERT_EQ(has,
                      table_relationships::CellValueView(*table->columns()[column], *cell, number, view));
            if (has) {
                EXPECT_EQ(expected, std::wstring(view));
            }
        }
    }
}

TEST(RowValueIndex, FindsWhatReadingEveryRowFindsThroughManyChanges)
{
    MsiTableRef table = ItemTable();
    const std::vector<std::wstring> texts = {L"1", L"-3", L"16", L"Comp1", L"a name long enough for the heap",
                                             L"x", L""};
    const std::vector<int> numbers = {1, -3, 16, 70000, INT_MIN};
    std::mt19937 random(5);
    auto pick = [&](size_t count) { return std::uniform_int_distribution<size_t>(0, count - 1)(random); };
    auto cell = [&](int column) {
        if (column < 2)
            return Text(texts[pick(texts.size())]);
        return pick(6) == 0 ? MakeNullFieldData() : MakeIntegerFieldData(numbers[pick(numbers.size())]);
    };
    auto add_row = [&] {
        MsiRow row;
        for (int column = 0; column < 4; ++column)
            row.push_back(cell(column));
        return AppendRow(table->rows(), row);
    };
    for (int at = 0; at < 150; ++at)
        add_row();
    const std::vector<std::vector<int>> column_lists = {{1}, {2}, {3}, {1, 2}, {2, 1, 3}};
    std::vector<std::unique_ptr<RowValueIndex>> indexes;
    for (const std::vector<int>& columns : column_lists) {
        indexes.emplace_back(new RowValueIndex(*table, columns));
        // The two-column one is filled a row at a time, from empty.
        if (columns.size() != 2)
            indexes.back()->AddAll();
    }
    for (RowIterator row = table->rows().begin(); row != table->rows().end(); ++row)
        indexes[3]->Add(row);

    // The values of a row in the columns, read apart from the index; false when one holds none.
    auto values_of = [&](const MsiRow& row, const std::vector<int>& columns,
                         std::vector<std::wstring>& values) {
        values.resize(columns.size());
        for (size_t at = 0; at < columns.size(); ++at) {
            if (!Expected(*table->columns()[columns[at]], *row[columns[at]], values[at]))
                return false;
        }
        return true;
    };
    auto check = [&](int step) {
        for (size_t at = 0; at < indexes.size(); ++at) {
            const std::vector<int>& columns = column_lists[at];
            // Keys from every row, and texts that numbers and other rows may hold.
            std::vector<std::pair<RowKey, std::vector<std::wstring>>> keys;
            for (const MsiRow& row : table->rows()) {
                keys.emplace_back();
                if (!keys.back().first.Read(*table, columns, row) ||
                    !values_of(row, columns, keys.back().second))
                    keys.pop_back();
            }
            for (const std::wstring& text : texts) {
                if (columns.size() == 1) {
                    keys.emplace_back();
                    keys.back().first.Assign(text);
                    keys.back().second = {text};
                }
            }
            for (const auto& key : keys) {
                std::set<const MsiRow*> found, expected;
                indexes[at]->ForEach(key.first,
                                     [&](RowIterator row) { EXPECT_TRUE(found.insert(&*row).second); });
                std::vector<std::wstring> values;
                for (const MsiRow& row : table->rows()) {
                    if (values_of(row, columns, values) && values == key.second)
                        expected.insert(&row);
                }
                ASSERT_EQ(expected, found) << "index " << at << ", step " << step;
            }
        }
    };
    check(-1);
    for (int step = 0; step < 1500; ++step) {
        size_t kind = pick(10);
        if (kind < 2 || table->rows().empty()) {
            RowIterator row = add_row();
            for (auto& index : indexes)
                index->Add(row);
            continue;
        }
        RowIterator row = table->rows().begin();
        std::advance(row, pick(table->rows().size()));
        if (kind < 4) {
            for (auto& index : indexes)
                index->Remove(*row);
            table->rows().erase(row);
        } else {
            // Changed in place first, as the database's own changes do.
            int column = static_cast<int>(1 + pick(3));
            (*row)[column] = cell(column);
            for (auto& index : indexes) {
                index->Remove(*row);
                index->Add(row);
            }
        }
        if (step % 100 == 0)
            check(step);
    }
    check(1500);
}
