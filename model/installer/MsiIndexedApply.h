#pragma once
// Wine's apply of a transform finds the row of every record by walking the table's rows, so a transform
// that changes most rows of a large table costs the square of the table's size. For such tables (kept from
// the library like the others the layer applies, MsiAppliedTransform.h) the layer applies the updates of
// existing rows in one walk of the table, finding each row's records by key in an index; every other
// record goes one by one to the caller's own apply, in the transform's order.
#include "model/installer/TransformReader.h"

#include <windows.h>
#include <msi.h>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace msi {
namespace detail {

// The fewest records of a table that the layer applies this way (tests lower it).
size_t& IndexedApplyMinimum();

// Whether the table's records go this way: at least IndexedApplyMinimum of them, a primary key, and no
// column that needs the layer's care record by record (streams, size-one integers).
bool AppliesIndexed(const std::vector<TransformColumn>& columns, size_t records);

// Applies the records as the library would. Updates of rows that exist are written in the walk (a key
// that also has an insert or a delete keeps all its records in order for apply_one); the rest, in order,
// go to apply_one.
void ApplyIndexed(MSIHANDLE database, const std::wstring& table, const std::vector<TransformColumn>& columns,
                  const std::vector<TransformRecord>& records,
                  const std::function<void(const TransformRecord&)>& apply_one);

} // namespace detail
} // namespace msi
