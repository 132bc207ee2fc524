// Many rows of one table deleted at once. The library searches the whole table for each DELETE's
// condition, so one row at a time costs a pass over the table per row: here one pass over its keys tells
// which rows are there, and one pass over its rows deletes each fetched row that is to go.
#include "model/MsiFile.h"
#include "model/MsiModification.h"
#include "model/MsiQuery.h"
#include "model/installer/MsiApi.h"

#include <deque>
#include <exception>
#include <stdexcept>
#include <unordered_map>

namespace {

// Tables whose deletions need more than the row going: a stream's name outlives its row in Wine.
bool DeletesOnlyRows(const MsiTable& table)
{
    if (table.name() == L"_Streams")
        return false;
    for (const MsiFieldDefRef& column : table.columns()) {
        if (column->kind() == MsiFieldKind::Binary)
            return false;
    }
    return true;
}

// How many rows of the table in the database have each condition text.
std::unordered_map<std::wstring, int> RowsByCondition(MSIHANDLE database, const MsiTable& table,
                                                      const std::wstring& columns)
{
    std::unordered_map<std::wstring, int> present;
    MsiHandle view = MsiQuery::OpenAndExecute(
        database, L"SELECT " + columns + L" FROM " + MsiQuery::QuoteName(table.name()), 0);
    ConditionTextReader reader(table, false);
    while (MsiHandle record = msi::ViewFetch(view.get()))
        ++present[reader.Read(record.get())];
    return present;
}

} // namespace

void MsiFile::DeleteFromDatabase(MsiTable& table, const std::vector<RowIterator>& rows,
                                 std::vector<bool>& gone, const DeletedRows& deleted)
{
    // The places of the rows still to go, by condition text, first asked first.
    std::unordered_map<std::wstring, std::deque<size_t>> wanted;
    for (size_t at = 0; at < rows.size(); ++at)
        wanted[ConditionText(table, *rows[at])].push_back(at);
    size_t left = rows.size();
    int count = 0;
    std::wstring sql = L"SELECT * FROM " + MsiQuery::QuoteName(table.name());
    ConditionTextReader reader(table, true);
    // The library moves a view back a row when its fetched row is deleted; another pass finds any row a
    // library that does not would pass over.
    while (left > 0) {
        size_t before = left;
        MsiHandle view = MsiQuery::OpenAndExecute(database_.get(), sql, 0);
        while (MsiHandle record = msi::ViewFetch(view.get())) {
            auto found = wanted.find(reader.Read(record.get()));
            if (found == wanted.end() || found->second.empty())
                continue;
            msi::ViewModify(view.get(), MSIMODIFY_DELETE, record.get());
            gone[found->second.front()] = true;
            found->second.pop_front();
            --left;
            ++count;
            if (deleted && !deleted(count))
                return;
            if (left == 0)
                break;
        }
        if (left == before)
            throw std::runtime_error("The row to delete is no longer in the database");
    }
}

int MsiFile::DeleteRows(MsiTable& table, const std::vector<RowIterator>& rows, const DeletedRows& deleted)
{
    if (read_only_ || !database_)
        throw std::runtime_error("The database is open read-only");
    // The rows before the first one the database does not have (as far as its keys tell) go in one pass;
    // that row and those after it one at a time, so that a missing row fails where DeleteRow fails.
    size_t batch = 0;
    if (DeletesOnlyRows(table) && !rows.empty()) {
        std::unordered_map<std::wstring, int> present =
            RowsByCondition(database_.get(), table, KeyCondition(table, *rows.front()).columns);
        while (batch < rows.size() && present[ConditionText(table, *rows[batch])]-- > 0)
            ++batch;
    }
    std::vector<RowIterator> first(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(batch));
    std::vector<bool> gone(first.size(), false);
    int count = 0;
    bool stopped = false;
    if (!first.empty()) {
        std::exception_ptr failure;
        {
            // Held over the pass and the log: a save on another thread must not commit rows gone unlogged.
            std::lock_guard<std::mutex> hold(change_lock_);
            try {
                DeleteFromDatabase(table, first, gone, [&](int done) {
                    count = done;
                    stopped = deleted && !deleted(done);
                    return !stopped;
                });
            } catch (...) {
                failure = std::current_exception();
            }
            // Logged in their order, whatever the pass did before it failed.
            for (size_t at = 0; at < first.size(); ++at) {
                if (gone[at])
                    Log(std::make_shared<MsiDeleteModification>(table, *first[at]));
            }
        }
        for (size_t at = 0; at < first.size(); ++at) {
            if (!gone[at])
                continue;
            RowIterator row = first[at];
            table.row_events().Notify(row, MsiTable::RowDeleted);
            table_events_.Notify(&table, TableEventArg(RowDeleted, row));
            relationships_.UpdateForRowChange(table, true, false, nullptr, row);
            table.rows().erase(row);
        }
        if (failure)
            std::rethrow_exception(failure);
    }
    for (size_t at = batch; at < rows.size() && !stopped; ++at) {
        DeleteRow(table, rows[at]);
        ++count;
        stopped = deleted && !deleted(count);
    }
    return count;
}
