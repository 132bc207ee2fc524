#pragma once
// The windowless steps of importing a registry export file into the Registry table: reading the file,
// describing where the parse stopped, building one row per value (and one "+" row per key without values
// or sub-keys), and checking every row against the table before any is added.
#include "model/MsiFieldData.h"
#include "model/lookups/MsiTableLookupBase.h"
#include "regimport/RegFileGrammar.h"

#include <string>
#include <vector>

using RegistryRow = std::vector<MsiFieldDataRef>;

// The file's bytes taken as UTF-16 code units exactly as stored (byte-order mark kept), followed by one
// LF so that a last line without a line break still reads. An unopenable file throws ManageableError;
// a failed read throws Win32Error "ReadFile"; a file too big to read whole throws ManageableError.
std::vector<wchar_t> ReadRegFileText(const std::wstring& path);

// One line of text: the number of the line that starts at `stop`, what is wrong with it (a deletion of a
// key or a value, which an import cannot carry, or text that is not understood) and the line itself.
std::wstring RegParseFailureText(const std::vector<wchar_t>& text, const wchar_t* stop);
// The same for the first key the parsed file deletes ("[-HKEY_...]"); empty when it deletes none.
std::wstring RegKeyDeletionText(const std::vector<wchar_t>& text, const reg_file_parser::KeyInfoSet& keys);

// The rows of every key, in the keys' order: Registry, Root, Key, Name, Value, Component_. Row keys are
// `key_base` followed by a five-digit counter. A key with an unknown root throws ManageableError
// ("Invalid key"); a value that cannot be converted throws std::runtime_error.
std::vector<RegistryRow> BuildRegistryRows(const reg_file_parser::KeyInfoSet& keys,
                                           const std::wstring& key_base, const std::wstring& component);

// Why the table would refuse one of the rows (its columns' checks, a key already there); empty when all fit.
std::wstring CheckRegistryRows(MsiTableLookupBase& lookup, const std::vector<RegistryRow>& rows);
