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

} // namespace

void MsiFile::DeleteFromDatabase(MsiTable& table, const std::vector<RowIterator>& rows,
                                 std::vector<bool>& gone, const DeletedRows& deleted)
{
    // The places of the rows to go, by condition text, first asked first.
    std::unordered_map<std::wstring, std::deque<size_t>> wanted;
    for (size_t at = 0; at < rows.size(); ++at)
        wanted[ConditionText(table, *rows[at])].push_back(at);
    ConditionTextReader reader(table, true);
    int count = 0;
    DeleteRowsByText(database_.get(), L"SELECT * FROM " + MsiQuery::QuoteName(table.name()), reader,
                     std::move(wanted), [&](size_t at) {
                         gone[at] = true;
                         return !deleted || deleted(++count);
                     });
}

int MsiFile::DeleteRows(MsiTable& table, const std::vector<RowIterator>& rows, const DeletedRows& deleted)
{
    if (read_only_ || !database_)
        throw std::runtime_error("The database is open read-only");
    // The rows before the first one the database does not have (as far as its keys tell) go in one pass;
    // that row and those after it one at a time, so that a missing row fails where DeleteRow fails.
    size_t batch = 0;
    if (DeletesOnlyRows(table) && !rows.empty()) {
        ConditionTextReader reader(table, false);
        std::unordered_map<std::wstring, int> present =
            CountRowTexts(database_.get(),
                          L"SELECT " + KeyCondition(table, *rows.front()).columns + L" FROM " +
                              MsiQuery::QuoteName(table.name()),
                          reader);
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
