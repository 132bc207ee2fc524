#include "validation/IceCheck.h"

#include "model/installer/MsiApi.h"

#include <cstring>

namespace {

// The custom action type bits of a DLL whose source is a Binary row.
const int kTypeMask = 0x3F;
const int kDllInBinary = 0x1;

WORD OwnMachine()
{
    return sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
}

// The 32-bit installer server a 64-bit installer starts for a 32-bit DLL.
bool HasThirtyTwoBitServer()
{
    wchar_t folder[MAX_PATH] = L"";
    UINT length = GetSystemWow64DirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    std::wstring server = std::wstring(folder, length) + L"\\msiexec.exe";
    DWORD attributes = GetFileAttributesW(server.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The first bytes of the Binary row's stream: enough for the program headers.
std::vector<char> StreamHead(MSIHANDLE cub, const std::wstring& name)
{
    MsiHandle record = msi::CreateRecord(1);
    msi::RecordSetString(record.get(), 1, name);
    MsiHandle view = msi::DatabaseOpenView(cub, L"SELECT `Data` FROM `Binary` WHERE `Name` = ?");
    msi::ViewExecute(view.get(), record.get());
    MsiHandle row = msi::ViewFetch(view.get());
    if (!row)
        return {};
    std::vector<char> head(4096);
    DWORD read = msi::RecordReadStream(row.get(), 1, head.data(), static_cast<DWORD>(head.size()));
    head.resize(read);
    return head;
}

bool HasTable(MSIHANDLE database, const wchar_t* table)
{
    MsiHandle record = msi::CreateRecord(1);
    msi::RecordSetString(record.get(), 1, table);
    MsiHandle view = msi::DatabaseOpenView(database, L"SELECT `Name` FROM `_Tables` WHERE `Name` = ?");
    msi::ViewExecute(view.get(), record.get());
    return static_cast<bool>(msi::ViewFetch(view.get()));
}

} // namespace

WORD ProgramMachine(const std::vector<char>& head)
{
    if (head.size() < 0x40 || head[0] != 'M' || head[1] != 'Z')
        return 0;
    uint32_t header = 0;
    std::memcpy(&header, head.data() + 0x3C, 4);
    if (header > head.size() - 6 || std::memcmp(head.data() + header, "PE\0\0", 4) != 0)
        return 0;
    WORD machine = 0;
    std::memcpy(&machine, head.data() + header + 4, 2);
    return machine;
}

std::wstring WhyIceCannotRun(MSIHANDLE cub, const std::wstring& ice)
{
    if (!HasTable(cub, L"CustomAction") || !HasTable(cub, L"Binary"))
        return std::wstring();
    MsiHandle record = msi::CreateRecord(1);
    msi::RecordSetString(record.get(), 1, ice);
    MsiHandle view =
        msi::DatabaseOpenView(cub, L"SELECT `Type`, `Source` FROM `CustomAction` WHERE `Action` = ?");
    msi::ViewExecute(view.get(), record.get());
    MsiHandle action = msi::ViewFetch(view.get());
    // Without its row the installer itself says that the action is missing.
    if (!action || (msi::RecordGetInteger(action.get(), 1) & kTypeMask) != kDllInBinary)
        return std::wstring();
    std::wstring source = msi::RecordGetString(action.get(), 2);
    std::vector<char> head = StreamHead(cub, source);
    WORD machine = ProgramMachine(head);
    if (machine == 0)
        return L"its Binary row " + source + L" holds no DLL";
    if (machine == IMAGE_FILE_MACHINE_I386 && OwnMachine() != IMAGE_FILE_MACHINE_I386 &&
        !HasThirtyTwoBitServer())
        return L"its DLL is 32-bit, and this system cannot run 32-bit custom actions";
    return std::wstring();
}
