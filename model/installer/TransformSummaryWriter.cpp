#include "model/installer/TransformSummaryWriter.h"
#include "model/installer/MsiApi.h"
#include "model/installer/TransformContent.h"
#include "model/installer/TransformStorage.h"

#include <propidl.h>
#include <algorithm>
#include <vector>

namespace msi {
namespace {

// FMTID_SummaryInformation {F29F85E0-4FF9-1068-AB91-08002B27B3D9}.
const FMTID kSummaryFormat = {0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}};

enum : PROPID
{
    kCodePage = 1,
    kTemplate = 7,
    kLastSavedBy = 8,
    kRevision = 9,
    kPageCount = 14,
    kCharCount = 16
};

struct DatabaseFacts
{
    int code_page = 0;
    int page_count = 0;
    std::wstring template_text;
    std::wstring product_code, product_version, upgrade_code;
};

bool has_table(MSIHANDLE database, const std::wstring& table)
{
    MsiHandle view = DatabaseOpenView(database, L"SELECT `Name` FROM `_Tables` WHERE `Name` = ?");
    MsiHandle name = CreateRecord(1);
    RecordSetString(name.get(), 1, table);
    ViewExecute(view.get(), name.get());
    return static_cast<bool>(ViewFetch(view.get()));
}

std::wstring property_value(MSIHANDLE database, const std::wstring& property)
{
    MsiHandle view = DatabaseOpenView(database, L"SELECT `Value` FROM `Property` WHERE `Property` = ?");
    MsiHandle name = CreateRecord(1);
    RecordSetString(name.get(), 1, property);
    ViewExecute(view.get(), name.get());
    MsiHandle row = ViewFetch(view.get());
    return row ? RecordGetString(row.get(), 1) : std::wstring();
}

// A transform names one language: "Intel;1033,1031" becomes "Intel;1033".
std::wstring first_language(const std::wstring& template_text)
{
    size_t comma = template_text.find(L',', template_text.find(L';'));
    return comma == std::wstring::npos ? template_text : template_text.substr(0, comma);
}

DatabaseFacts read_facts(MSIHANDLE database)
{
    DatabaseFacts facts;
    MsiHandle summary = GetSummaryInformation(database, nullptr, 0);
    SummaryValue value = SummaryInfoGetProperty(summary.get(), kCodePage);
    if (value.type == VT_I2)
        facts.code_page = value.integer & 0xFFFF;
    value = SummaryInfoGetProperty(summary.get(), kPageCount);
    if (value.type == VT_I4)
        facts.page_count = value.integer;
    value = SummaryInfoGetProperty(summary.get(), kTemplate);
    if (value.type == VT_LPSTR)
        facts.template_text = first_language(value.text);
    if (has_table(database, L"Property")) {
        facts.product_code = property_value(database, L"ProductCode");
        facts.product_version = property_value(database, L"ProductVersion");
        facts.upgrade_code = property_value(database, L"UpgradeCode");
    }
    return facts;
}

// Property-set text goes in as ANSI; ole32 converts it to the set's code page itself.
std::string ansi_text(const std::wstring& text)
{
    std::string bytes;
    if (!EncodeInCodePage(text, CP_ACP, bytes))
        ThrowTransformRefused(L"The text \"" + text +
                              L"\" cannot be stored in the transform's summary information.");
    return bytes;
}

// Wine's ole32 skips the padding after the last value by seeking, so the stream can end up to 3 bytes
// short of the section size it declares, and Wine's installer library then reads no property at all
// (checked). The missing bytes are zeros: write them.
void pad_to_declared_size(IStorage* storage)
{
    ComRef<IStream> stream;
    CheckHresult(storage->OpenStream(L"\x0005SummaryInformation", nullptr,
                                     STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, stream.receive()),
                 L"IStorage::OpenStream");
    BYTE header[48 + 4] = {};
    ULONG read = 0;
    CheckHresult(stream->Read(header, sizeof(header), &read), L"IStream::Read");
    if (read < sizeof(header))
        return;
    auto u32 = [&](size_t at) {
        return static_cast<ULONG>(header[at] | header[at + 1] << 8 | header[at + 2] << 16 |
                                  header[at + 3] << 24);
    };
    ULONG section = u32(44); // the one section's offset; its first word is its size
    if (section != 48)
        return;
    ULONG declared = section + u32(48);
    STATSTG stat = {};
    CheckHresult(stream->Stat(&stat, STATFLAG_NONAME), L"IStream::Stat");
    ULONGLONG size = stat.cbSize.QuadPart;
    if (size >= declared || declared - size > 3)
        return;
    LARGE_INTEGER end = {};
    end.QuadPart = static_cast<LONGLONG>(size);
    CheckHresult(stream->Seek(end, STREAM_SEEK_SET, nullptr), L"IStream::Seek");
    const BYTE zeros[3] = {};
    CheckHresult(stream->Write(zeros, static_cast<ULONG>(declared - size), nullptr), L"IStream::Write");
}

} // namespace

// Checked under Wine: ole32 writes this property set and MsiGetSummaryInformationW and
// IPropertyStorage::ReadMultiple read it back.
void WriteTransformSummary(MSIHANDLE database, MSIHANDLE reference, const std::wstring& path,
                           int error_conditions, int validation)
{
    const DatabaseFacts base = read_facts(reference);
    const DatabaseFacts changed = read_facts(database);
    std::string template_text = ansi_text(base.template_text);
    std::string saved_by = ansi_text(changed.template_text);
    std::string revision = ansi_text(base.product_code + base.product_version + L";" + changed.product_code +
                                     changed.product_version + L";" +
                                     (base.upgrade_code.empty() ? changed.upgrade_code : base.upgrade_code));

    ComRef<IStorage> storage;
    CheckHresult(StgOpenStorage(path.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DIRECT,
                                nullptr, 0, storage.receive()),
                 L"StgOpenStorage");
    ComRef<IPropertySetStorage> sets;
    CheckHresult(storage->QueryInterface(IID_IPropertySetStorage, reinterpret_cast<void**>(sets.receive())),
                 L"IStorage::QueryInterface");
    ComRef<IPropertyStorage> properties;
    CheckHresult(sets->Create(kSummaryFormat, nullptr, PROPSETFLAG_ANSI,
                              STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, properties.receive()),
                 L"IPropertySetStorage::Create");

    std::vector<PROPSPEC> ids;
    std::vector<PROPVARIANT> values;
    auto add = [&](PROPID id, VARTYPE type) -> PROPVARIANT& {
        PROPSPEC spec = {};
        spec.ulKind = PRSPEC_PROPID;
        spec.propid = id;
        ids.push_back(spec);
        PROPVARIANT value = {};
        value.vt = type;
        values.push_back(value);
        return values.back();
    };
    // The code page first: it tells how the texts after it are stored.
    if (changed.code_page > 0)
        add(kCodePage, VT_I2).iVal = static_cast<SHORT>(changed.code_page);
    add(kTemplate, VT_LPSTR).pszVal = &template_text[0];
    add(kLastSavedBy, VT_LPSTR).pszVal = &saved_by[0];
    add(kRevision, VT_LPSTR).pszVal = &revision[0];
    int page_count = std::max(base.page_count, changed.page_count);
    if (page_count > 0)
        add(kPageCount, VT_I4).lVal = page_count;
    add(kCharCount, VT_I4).lVal = static_cast<LONG>((static_cast<DWORD>(validation) << 16) |
                                                    (static_cast<DWORD>(error_conditions) & 0xFFFF));
    for (size_t i = 0; i < ids.size(); ++i)
        CheckHresult(properties->WriteMultiple(1, &ids[i], &values[i], 2),
                     L"IPropertyStorage::WriteMultiple");
    CheckHresult(properties->Commit(STGC_DEFAULT), L"IPropertyStorage::Commit");
    properties.reset();
    pad_to_declared_size(storage.get());
}

} // namespace msi
