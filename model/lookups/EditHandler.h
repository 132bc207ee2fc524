#pragma once
// What a lookup tells after every change it committed: the table or row node that started the edit
// refreshes its view.
class EditHandler
{
public:
    virtual ~EditHandler() = default;
    // row_count_changed: the lookup's RowCount is not what it was before the change.
    virtual void Refresh(bool row_count_changed) = 0;
};
