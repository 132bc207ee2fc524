#pragma once
// Target paths of Directory ids, made from the rows of a database's Directory table alone (never from a
// real machine's folders): ProgramFilesFolder\Product\bin. A level that cannot be named (a missing parent,
// or parents that run in a loop) shows as "<Error>".
#include <windows.h>
#include <msi.h>
#include <map>
#include <set>
#include <string>
#include <utility>

class MsiTable;

class DirectoryResolver
{
public:
    // Reads the Directory table of the database (none: no entries); earlier paths are forgotten.
    void Load(MSIHANDLE database);
    // The same from a Directory table held in memory (no query): its first three columns, null cells as "".
    void Load(const MsiTable& directory);
    std::wstring Resolve(const std::wstring& id);
    // The first standard folder name (in sorted order) the id begins with; empty when none.
    static std::wstring StandardFolderPrefix(const std::wstring& id);

private:
    // id -> (parent id, DefaultDir)
    std::map<std::wstring, std::pair<std::wstring, std::wstring>> entries_;
    std::map<std::wstring, std::wstring> cache_;
};

// The 24 standard folder property names, sorted.
const std::set<std::wstring>& StandardFolderNames();
// DefaultDir up to its first ":" (the target part), or all of it.
std::wstring DefaultDirTargetPart(const std::wstring& text);
// The part after the first "|" (the long name), or all of it.
std::wstring DefaultDirLongName(const std::wstring& text);
