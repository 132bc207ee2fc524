#pragma once
// The `_Streams` table, whose rows mirror the stream cells of the other tables: a stream that belongs to a
// row is edited at that row (double clicking it jumps there) and cannot be deleted here. Over a plain
// table lookup for a database, over a comparison lookup for a transform.
#include "model/lookups/MsiTableLookupBase.h"
#include "model/lookups/StreamOwners.h"
#include "foundation/Prompt.h"

#include <memory>
#include <utility>

template <typename Lookup> class MsiStreamsTableLookupTemplate : public Lookup
{
public:
    template <typename... Args>
    explicit MsiStreamsTableLookupTemplate(Args&&... args) : Lookup(std::forward<Args>(args)...)
    {
        WatchOwners();
    }

    void DeleteRow(int sort_column, int position) override
    {
        RowIterator row = this->GetIndexedRow(position, sort_column);
        if (this->IsEditableRow(row)) {
            std::wstring name = this->GetCellText(0, position, sort_column);
            StreamOwners::Owner owner;
            // Streams of rows, and the database's own streams ("\x05..."), go with what they belong to; a
            // stream whose row is gone belongs to nothing and may go.
            if (owners_ && (owners_->FindOwner(row, owner) || StreamOwners::IsDatabaseStream(name))) {
                TableLookupOwner* node = this->GetOwnerNode();
                ShowMessageBox(node ? node->GetOwnerWindow() : nullptr,
                               L"Row " + name +
                                   L" could not be deleted because it belongs to another table. Double click "
                                   L"the row to jump to the relevant row.",
                               L"Deleting row from the wrong place", MB_OK);
                return;
            }
        }
        Lookup::DeleteRow(sort_column, position);
    }
    // Row by row, so that each stream is asked about as above.
    int DeleteRows(const std::vector<RowIterator>& rows,
                   const MsiTableLookupBase::DeletedRows& deleted) override
    {
        return MsiTableLookupBase::DeleteRows(rows, deleted);
    }

    std::shared_ptr<InPlaceEditor> CreateEditor(int column, int position, int sort_column,
                                                EditHandler* handler) override
    {
        TableLookupOwner* node = this->GetOwnerNode();
        RowIterator row = this->GetIndexedRow(position, sort_column);
        StreamOwners::Owner owner;
        if (node && owners_ && this->IsEditableRow(row) && owners_->FindOwner(row, owner)) {
            FindCriteria location(node->GetOwnerPath(), owner.table->name(), std::wstring(),
                                  owner.table->KeyValues(*owner.row));
            if (node->SelectTable(location))
                return std::shared_ptr<InPlaceEditor>();
        }
        return Lookup::CreateEditor(column, position, sort_column, handler);
    }

protected:
    // (Re)builds the owner map over the table shown now, if any.
    void WatchOwners()
    {
        owners_.reset();
        if (MsiTable* streams = this->GetTable())
            owners_.reset(
                new StreamOwners(*streams, [this](bool table_level) { StreamsChanged(table_level); }));
    }

private:
    void StreamsChanged(bool table_level)
    {
        TableLookupOwner* node = this->GetOwnerNode();
        if (table_level && node)
            node->Reload();
        else
            this->ResetIndexes();
    }

    std::unique_ptr<StreamOwners> owners_;
};
