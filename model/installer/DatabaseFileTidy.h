#pragma once
// Wine's commit of a database leaves directory entries the tree no longer reaches, links to entries it
// freed, and the streams of tables dropped in the session. Readers pass over them, but Wine's next
// transacted commit of such a file may wreck its directory (the root then leads to a freed entry), and a
// stale table stream looks like damage. So a file the layer committed is rewritten without them once the
// library has let go of it, and so is a copy before the library commits it: structured storage copies
// every element into a fresh file, which then takes the file's place. Only under Wine.
#include <windows.h>
#include <objidl.h>
#include <functional>
#include <string>
#include <vector>

namespace msi {

// Whether the database file holds anything TidyDatabaseFile would remove; also true when the library
// holds the file so that it cannot be read.
bool DatabaseFileNeedsTidying(const std::wstring& path);
// Rewrites the file (closed by the library) when it needs it; failures throw Win32Error and leave the
// file as it was. only_hazards: only when Wine's next commit could wreck it (an earlier session's file
// opened for editing).
void TidyDatabaseFile(const std::wstring& path, bool only_hazards = false);
// Rewrites the file (closed by the library) through a fresh one: every element but the excluded names is
// copied, then add_streams puts in what it wants; the fresh file then takes the file's place
// (ReplaceUserFile). Failures throw Win32Error and leave the file as it was.
void RewriteDatabaseFile(const std::wstring& path, std::vector<std::wstring> excluded,
                         const std::function<void(IStorage* fresh)>& add_streams = nullptr);

} // namespace msi
