// The ICEs of the test suites: custom actions that post ICE message lines as a real suite would, so
// that validation runs can be tested end to end. Built x86_64 and linked statically: the installer runs
// it in a process of its own, where no runtime DLL of ours is found.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <string>

namespace {

// Field 0 is formatted by the installer; the text goes in field 1 so only "[1]" is formatted.
int Post(MSIHANDLE install, const std::wstring& text)
{
    MSIHANDLE record = MsiCreateRecord(1);
    MsiRecordSetStringW(record, 0, L"[1]");
    MsiRecordSetStringW(record, 1, text.c_str());
    int result = MsiProcessMessage(install, INSTALLMESSAGE_USER, record);
    MsiCloseHandle(record);
    return result;
}

std::wstring Environment(const wchar_t* name)
{
    wchar_t buffer[1024] = L"";
    DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    return length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

// Posts each line; stops with "cancelled by the user" once the handler answers IDCANCEL.
UINT PostAll(MSIHANDLE install, const std::wstring* lines, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (Post(install, lines[i]) == IDCANCEL)
            return ERROR_INSTALL_USEREXIT;
    return ERROR_SUCCESS;
}

} // namespace

// An error on a cell, a warning on a row with quotes and a line break, information, and the two
// environment texts the validator sets for each document.
extern "C" __declspec(dllexport) UINT __stdcall TstIce01(MSIHANDLE install)
{
    const std::wstring lines[] = {
        L"TSTICE01\t1\tProductCode is not a GUID\thttp://help/tstice01\tProperty\tValue\tProductCode",
        L"TSTICE01\t2\tThe \"ProductName\" is\r\ntoo long\t\tProperty\t\tProductName",
        L"TSTICE01\t3\tTSTICE01 ran",
        L"TSTICE01\t3\tFile name: " + Environment(L"VRN_MM_QR_PROPERTY_FILENAME"),
        L"TSTICE01\t3\tFull path: " + Environment(L"DRAVNETTA_VALIDATING_FILENAME"),
    };
    return PostAll(install, lines, sizeof(lines) / sizeof(lines[0]));
}

// Fails the way a broken ICE does.
extern "C" __declspec(dllexport) UINT __stdcall TstIce02(MSIHANDLE install)
{
    Post(install, L"TSTICE02\t0\tTSTICE02 cannot go on");
    return ERROR_INSTALL_FAILURE;
}

// The two messages a database without a Property table always gets, and one more of the same ICE.
extern "C" __declspec(dllexport) UINT __stdcall TstIce03(MSIHANDLE install)
{
    const std::wstring lines[] = {
        L"ICE03\t1\tTable: Property Column: Property Missing specifications in _Validation Table (or Old "
        L"Database)\tice03.html\tProperty",
        L"ICE03\t1\tTable: Property Column: Value Missing specifications in _Validation Table (or Old "
        L"Database)\tice03.html\tProperty",
        L"ICE03\t2\tTable: Feature has no rows\tice03.html\tFeature",
    };
    return PostAll(install, lines, sizeof(lines) / sizeof(lines[0]));
}

// Messages too short to hold the usual fields: an empty template, an ICE name alone, an empty text.
extern "C" __declspec(dllexport) UINT __stdcall TstIce04(MSIHANDLE install)
{
    MSIHANDLE record = MsiCreateRecord(1);
    MsiProcessMessage(install, INSTALLMESSAGE_USER, record);
    MsiCloseHandle(record);
    const std::wstring lines[] = {L"TSTICE04", L"", L"TSTICE04\t2\tafter the short ones"};
    return PostAll(install, lines, sizeof(lines) / sizeof(lines[0]));
}

// Information alone: with information hidden it still counts as an ICE that ran.
extern "C" __declspec(dllexport) UINT __stdcall TstIce05(MSIHANDLE install)
{
    const std::wstring lines[] = {L"TSTICE05\t3\tTSTICE05 looked at every table"};
    return PostAll(install, lines, sizeof(lines) / sizeof(lines[0]));
}
