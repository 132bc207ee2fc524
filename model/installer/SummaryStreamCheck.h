#pragma once
// The summary information's property set, checked before the library reads it: a property whose offset
// or value lies outside its section makes readers fault or leave the summary half read.
#include <windows.h>
#include <vector>

namespace msi {
namespace detail {

// True when every property of the first section lies inside the section and the stream. A stream the
// library would pass over as a whole (too short, another byte order, no section) is left to it.
bool SummaryStreamSound(const std::vector<BYTE>& bytes);

} // namespace detail
} // namespace msi
