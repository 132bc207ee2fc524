#pragma once
// The summary information of a database: one typed property per defined property id, read when the
// database opens and written back when it is saved.
#include "model/SummaryProperty.h"

#include <windows.h>
#include <msi.h>
#include <map>
#include <memory>
#include <string>

struct SummaryPropertyDef
{
    VARTYPE type; // VT_I2, VT_I4, VT_LPSTR or VT_FILETIME
    std::wstring label;
};

// The 17 defined property ids (10 and 17 are not among them) with their types and labels.
const std::map<UINT, SummaryPropertyDef>& SummaryPropertyDefs();

using SummaryInfoMap = std::map<UINT, std::shared_ptr<MsiSIProperty>>;

// Why the text cannot be a string property of the summary: a character its strings cannot be stored in.
// The library stores them in the system's ANSI code page; the code page property, when set, must hold them
// too, as other readers decode them with it. Empty when it can.
std::wstring SummaryTextRefusal(const SummaryInfoMap& summary, const std::wstring& text);

namespace MsiSummaryInfo {

// Reads every defined property into the map; absent ones become null entries.
void Load(MSIHANDLE database, SummaryInfoMap& summary);

// Writes every property that is not null and commits the stream. With stamp, "Last Saved By" becomes
// saved_by, "Last Saved Time" the local time and "Creating Application" this program first. A property
// that was cleared is removed from the stream; where the library refuses that, the save fails
// (tfc::Win32Error "MsiSummaryInfoSetProperty" with a trail line naming the property) instead of
// keeping the old value behind the user's back.
void Persist(MSIHANDLE database, SummaryInfoMap& summary, bool stamp, const std::wstring& saved_by);

// Makes the database at path, just copied from a template, a package of its own: the package code
// becomes package_code and the creation time now; nothing else changes. Two packages with one package
// code would be taken by the installer for the same package.
void MarkAsNewPackage(const std::wstring& path, const std::wstring& package_code);

} // namespace MsiSummaryInfo
