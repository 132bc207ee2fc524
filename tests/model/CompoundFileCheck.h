#pragma once
// A plain structural check of a compound file, independent of the platform's storage code: every sector
// chain inside the file and free of loops, every directory link pointing at a used entry, every used entry
// reached once, every stream's length covered by its chain.
#include <string>

namespace model_testing {

// Empty when the file is sound, else what is wrong.
std::string CompoundFileFault(const std::wstring& path);

} // namespace model_testing
