#include "model/MsiTransform.h"
#include "model/installer/MsiApi.h"
#include "model/installer/MsiStreamChanges.h"
#include "model/installer/TransformStorage.h"
#include "model/installer/WrittenDatabaseCheck.h"
#include "foundation/Errors.h"
#include "foundation/Options.h"

#include <exception>

const wchar_t* const MsiTransform::kBackingFileKey = L"BackingFile";

namespace {

const FMTID kSummaryFormat = {0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}};
const int kAllErrorConditions = 0x3F;

// "Last Saved By" as the options want it: false when the summary is left alone.
bool StampFromOptions(std::wstring& saved_by)
{
    switch (gOptions.last_saved_by_state) {
    case Options::SI_UNCHANGED:
        return false;
    case Options::SI_USERNAME: {
        wchar_t name[256 + 1];
        DWORD length = 256 + 1;
        saved_by = GetUserNameW(name, &length) ? std::wstring(name) : std::wstring();
        return true;
    }
    default:
        saved_by = gOptions.last_saved_by_name;
        return true;
    }
}

MsiHandle OpenBacking(const std::wstring& path, bool read_only)
{
    return msi::OpenDatabase(path, read_only ? MSIDBOPEN_READONLY : MSIDBOPEN_TRANSACT);
}

} // namespace

MsiTransform::MsiTransform() = default;

MsiTransform::~MsiTransform()
{
    // The registry goes before the file part: the backing file cannot be deleted while it is open.
    CloseBacking();
}

void MsiTransform::CloseBacking()
{
    relationships().Clear();
    tables().clear();
    summary_info().clear();
    SetHandle(MsiHandle(), true);
}

void MsiTransform::ReadConditions(const std::wstring& transform_path)
{
    msi::ComRef<IStorage> storage;
    if (FAILED(StgOpenStorage(transform_path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0,
                              storage.receive())))
        return;
    msi::ComRef<IPropertySetStorage> sets;
    if (FAILED(storage->QueryInterface(IID_IPropertySetStorage, reinterpret_cast<void**>(sets.receive()))))
        return;
    msi::ComRef<IPropertyStorage> properties;
    if (FAILED(sets->Open(kSummaryFormat, STGM_READ | STGM_SHARE_EXCLUSIVE, properties.receive())))
        return;
    PROPSPEC spec = {};
    spec.ulKind = PRSPEC_PROPID;
    spec.propid = 16;
    PROPVARIANT value;
    PropVariantInit(&value);
    if (properties->ReadMultiple(1, &spec, &value) == S_OK && (value.vt == VT_I4 || value.vt == VT_UI4)) {
        DWORD word = static_cast<DWORD>(value.lVal);
        error_conditions_ = LOWORD(word);
        validation_ = HIWORD(word);
    }
    PropVariantClear(&value);
}

bool MsiTransform::Open(const std::wstring& base_path, const std::wstring& transform_path, bool read_only,
                        bool new_transform, bool suppress_errors)
{
    std::wstring backing = temp_files_.Create(kBackingFileKey);
    backing_path_ = backing;
    if (!CopyFileW(base_path.c_str(), backing.c_str(), FALSE))
        tfc::throw_last_error(L"CopyFile");
    DWORD attributes = GetFileAttributesW(backing.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesW(backing.c_str(), attributes & 0x26);

    base_path_ = base_path;
    base_.Open(base_path, MSIDBOPEN_READONLY);

    ReadConditions(transform_path);

    // Closed by its holder when a later step throws. A read-only transform is applied to the copy all the
    // same, which is then opened read-only: the copy is what a transformed database is written from.
    MsiHandle database = new_transform
                             ? OpenBacking(backing, read_only)
                             : msi::OpenDatabaseTransformed(backing, transform_path,
                                                            suppress_errors ? kAllErrorConditions : 0);
    if (!new_transform && read_only) {
        msi::CloseDatabase(database);
        database = OpenBacking(backing, true);
    }

    SetPath(transform_path);
    SetHandle(database, read_only);
    database.reset();
    try {
        LoadTables(handle());
        MsiSummaryInfo::Load(handle(), summary_info());
    } catch (...) {
        CloseBacking();
        throw;
    }
    return read_only;
}

bool MsiTransform::Load(const std::wstring& base_path, const std::wstring& transform_path, bool read_only,
                        bool new_transform, const std::vector<std::wstring>& earlier_transforms,
                        const std::wstring& file, bool adopt, bool suppress_errors)
{
    if (adopt)
        temp_files_.Adopt(file, file);
    earlier_transforms_ = earlier_transforms;
    bool result = Open(file, transform_path, read_only, new_transform, suppress_errors);
    base_path_ = base_path;
    return result;
}

void MsiTransform::Save(const std::wstring& target, bool, const std::wstring&)
{
    ClearViewCache();
    std::wstring generated = temp_files_.Create(std::wstring());
    const std::wstring own_path = path();
    bool moved = false;
    bool closed = false;
    std::exception_ptr first;

    try {
        if (!msi::DatabaseGenerateTransform(handle(), base_.handle(), generated))
            throw tfc::ManageableError(
                L"A transform must make changes to be saved. The transform was not saved.",
                L"Could not save the transform.");
        msi::CreateTransformSummaryInfo(handle(), base_.handle(), generated, error_conditions_, validation_);

        // In place the copy is committed and closed first: the installer library may keep the applied
        // transform open for as long as the copy is open. Paths compare as the file system does.
        if (lstrcmpiW(target.c_str(), own_path.c_str()) == 0) {
            SetPath(backing_path_);
            moved = true;
            std::wstring saved_by;
            bool stamp = StampFromOptions(saved_by);
            // Not virtual: this very function is the override.
            MsiFile::Save(backing_path_, stamp, saved_by);
            SetHandle(MsiHandle(), read_only());
            closed = true;
        }
        try {
            ReplaceUserFile(generated, target, msi::CheckWrittenTransform);
        } catch (const tfc::Win32Error&) {
            throw tfc::ManageableError(L"Could not copy the saved transform to the target: " + target +
                                           L"\r\nCheck that the file is not in use and the file is writeable",
                                       L"Could not save transform");
        }
    } catch (...) {
        first = std::current_exception();
    }

    // Every way out leaves the transform's path and a live copy, so a later save can never write the
    // transform over the copy.
    if (closed) {
        try {
            SetHandle(OpenBacking(backing_path_, read_only()), read_only());
        } catch (...) {
            if (!first)
                first = std::current_exception();
        }
    }
    if (moved)
        SetPath(own_path);
    temp_files_.Release(generated);
    DeleteFileW(generated.c_str());
    if (first)
        std::rethrow_exception(first);
}

void MsiTransform::SaveDatabaseAs(const std::wstring& target, bool stamp, const std::wstring& saved_by)
{
    const std::wstring own_path = path();
    SetPath(backing_path_);
    try {
        MsiFile::Save(target, stamp, saved_by);
    } catch (...) {
        SetPath(own_path);
        throw;
    }
    SetPath(own_path);
}

std::wstring MsiTransform::SaveUsingOptions()
{
    std::wstring saved_by;
    bool stamp = StampFromOptions(saved_by);
    Save(std::wstring(path()), stamp, saved_by);
    return temp_files_.Release(kBackingFileKey);
}
