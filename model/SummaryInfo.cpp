#include "model/SummaryInfo.h"
#include "model/CodePageText.h"
#include "model/installer/MsiApi.h"
#include "foundation/Errors.h"
#include "foundation/Format.h"
#include "resources/ShellIds.h"

#include <msidefs.h>

namespace {

std::shared_ptr<MsiSIProperty> MakeProperty(const SummaryPropertyDef& def, const msi::SummaryValue& value)
{
    // The class follows the defined type, whatever type the stream holds.
    bool null = value.type == VT_EMPTY;
    switch (def.type) {
    case VT_I2:
        return null ? std::make_shared<MsiSIShortProperty>(def.label)
                    : std::make_shared<MsiSIShortProperty>(def.label, static_cast<short>(value.integer));
    case VT_I4:
        return null ? std::make_shared<MsiSIIntegerProperty>(def.label)
                    : std::make_shared<MsiSIIntegerProperty>(def.label, value.integer);
    case VT_FILETIME:
        return null ? std::make_shared<MsiSIFiletimeProperty>(def.label)
                    : std::make_shared<MsiSIFiletimeProperty>(def.label, value.time);
    default:
        return null ? std::make_shared<MsiSIStringProperty>(def.label)
                    : std::make_shared<MsiSIStringProperty>(def.label, value.text);
    }
}

FILETIME LocalNow()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME time = {0, 0};
    SystemTimeToFileTime(&now, &time);
    return time;
}

std::wstring ApplicationName()
{
    const wchar_t* text = nullptr;
    int length = LoadStringW(GetModuleHandleW(nullptr), IDS_APP_NAME, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 ? std::wstring(text, length) : L"Dravnetta";
}

// A property cleared by the user must leave the stream too; a save that kept the old value would
// report success for a change it did not make.
void ClearStored(MSIHANDLE summary, UINT pid, const MsiSIProperty& property)
{
    if (msi::SummaryInfoGetProperty(summary, pid).type == VT_EMPTY)
        return;
    try {
        msi::SummaryInfoSetProperty(summary, pid, msi::SummaryValue());
        if (msi::SummaryInfoGetProperty(summary, pid).type != VT_EMPTY)
            throw tfc::Win32Error(ERROR_DATATYPE_MISMATCH, L"MsiSummaryInfoSetProperty");
    } catch (const tfc::Win32Error&) {
        tfc::Format(L"The summary information property \"%s\" cannot be removed; give it a value instead.")
            << property.label();
        throw;
    }
}

} // namespace

const std::map<UINT, SummaryPropertyDef>& SummaryPropertyDefs()
{
    static const std::map<UINT, SummaryPropertyDef> defs = {
        {1, {VT_I2, L"CodePage"}},
        {2, {VT_LPSTR, L"Title"}},
        {3, {VT_LPSTR, L"Subject (<ProductName>)"}},
        {4, {VT_LPSTR, L"Author (<Manufacturer>)"}},
        {5, {VT_LPSTR, L"Keywords (Patch: Sources)"}},
        {6, {VT_LPSTR, L"Comments"}},
        {7, {VT_LPSTR, L"Template (Platform and Language) (Patch: Product Codes)"}},
        {8,
         {VT_LPSTR, L"Last Saved By (Transform: Platform and Language) (Patch: Transform Substorage Names)"}},
        {9,
         {VT_LPSTR,
          L"Revision Number (Package Code) (Transform: Original-Product-Code Original-Product-Version "
          L");New-Product Code New-Product-Version ); Upgrade-Code) (Patch: Patch GUID );<Removed "
          L"Patch GUIDS>"}},
        {11, {VT_FILETIME, L"Last Printed (Admin install creation)"}},
        {12, {VT_FILETIME, L"Creation Time"}},
        {13, {VT_FILETIME, L"Last Saved Time"}},
        {14, {VT_I4, L"Page Count (Minimum Installer Version)"}},
        {15, {VT_I4, L"Word Count (Source Type) (Patch: Patch Engine Version)"}},
        {16, {VT_I4, L"Character Count (Transform: Validation Flags << 16 | Error Condition Flags)"}},
        {18, {VT_LPSTR, L"Creating Application"}},
        {19, {VT_I4, L"Security (Read Only Status)"}},
    };
    return defs;
}

std::wstring SummaryTextRefusal(const SummaryInfoMap& summary, const std::wstring& text)
{
    const std::wstring holder = L"The summary information's code page";
    std::wstring refusal = CodePageRefusal(text, GetACP(), holder);
    auto declared = summary.find(PID_CODEPAGE);
    if (refusal.empty() && declared != summary.end() && declared->second && !declared->second->is_null()) {
        // Stored in 16 bits: 65001 may read back as -535.
        UINT code_page = static_cast<UINT>(declared->second->numeric_value()) & 0xFFFF;
        if (code_page != 0)
            refusal = CodePageRefusal(text, code_page, holder);
    }
    return refusal;
}

namespace MsiSummaryInfo {

void Load(MSIHANDLE database, SummaryInfoMap& summary)
{
    MsiHandle handle = msi::GetSummaryInformation(database, nullptr, 0);
    for (const auto& entry : SummaryPropertyDefs())
        summary[entry.first] =
            MakeProperty(entry.second, msi::SummaryInfoGetProperty(handle.get(), entry.first));
}

void Persist(MSIHANDLE database, SummaryInfoMap& summary, bool stamp, const std::wstring& saved_by)
{
    MsiHandle handle = msi::GetSummaryInformation(database, nullptr, static_cast<UINT>(summary.size()));
    for (const auto& entry : summary) {
        UINT pid = entry.first;
        MsiSIProperty& property = *entry.second;
        if (stamp) {
            if (pid == PID_LASTAUTHOR)
                property.set_string(saved_by);
            else if (pid == PID_LASTSAVE_DTM)
                property.set_filetime(LocalNow());
            else if (pid == PID_APPNAME)
                property.set_string(ApplicationName());
        }
        if (!property.is_null())
            property.write_to(handle.get(), pid);
        else
            ClearStored(handle.get(), pid, property);
    }
    msi::SummaryInfoPersist(handle.get());
}

void MarkAsNewPackage(const std::wstring& path, const std::wstring& package_code)
{
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_TRANSACT);
    {
        MsiHandle handle = msi::GetSummaryInformation(database.get(), nullptr, 2);
        msi::SummaryValue code;
        code.type = VT_LPSTR;
        code.text = package_code;
        msi::SummaryInfoSetProperty(handle.get(), PID_REVNUMBER, code);
        msi::SummaryValue created;
        created.type = VT_FILETIME;
        created.time = LocalNow();
        msi::SummaryInfoSetProperty(handle.get(), PID_CREATE_DTM, created);
        msi::SummaryInfoPersist(handle.get());
    }
    msi::DatabaseCommit(database.get());
}

} // namespace MsiSummaryInfo
