#pragma once
// A transform (.mst) edited as the difference between a base database and a transformed copy of it.
// The file part is the copy (the backing file: a temporary copy of the base with the transform
// applied), opened transacted, at the transform's path; the base sits beside it, read-only. Saving
// writes the difference between the two as a transform; SaveDatabaseAs writes the copy itself.
#include "model/MsiFile.h"
#include "foundation/TempFiles.h"

#include <memory>
#include <string>
#include <vector>

class MsiTransform : public MsiFile
{
public:
    // The key of the backing file in the transform's own registry.
    static const wchar_t* const kBackingFileKey;

    MsiTransform();
    ~MsiTransform() override;

    // Copies the base to the backing file, opens the base read-only, reads the transform's condition
    // flags, opens the copy (transacted unless read_only; no read-only fallback) and, unless the
    // transform is new, applies the transform (suppressing every error condition with suppress_errors)
    // and commits. Returns read_only as asked. The backing file stays registered on failure, so it goes
    // with the transform.
    bool Open(const std::wstring& base_path, const std::wstring& transform_path, bool read_only,
              bool new_transform, bool suppress_errors);
    // Open over file instead of the base (the backing file of an earlier transform, adopted with adopt so
    // it is deleted with this one), keeping the earlier transforms' list and base_path as the base path.
    bool Load(const std::wstring& base_path, const std::wstring& transform_path, bool read_only,
              bool new_transform, const std::vector<std::wstring>& earlier_transforms,
              const std::wstring& file, bool adopt, bool suppress_errors);

    // Writes the transform from the base to the copy at target (stamp and saved_by are not used: the
    // copy's own summary follows the options when it is committed in place). A copy that makes no
    // changes throws ManageableError and leaves target alone. Whatever happens, the file keeps the
    // transform's path and a backing handle, and the temporary transform is deleted.
    void Save(const std::wstring& target, bool stamp, const std::wstring& saved_by) override;
    // Writes the transformed database (the copy with its unsaved changes) as a database at target.
    void SaveDatabaseAs(const std::wstring& target, bool stamp, const std::wstring& saved_by) override;
    // Saves in place with the stamp of the options, then hands the backing file to the caller (it is no
    // longer deleted with the transform) and returns its path.
    std::wstring SaveUsingOptions();

    // Closes the prepared views, so a validation run finds no view of the copy open.
    void CloseViews() { ClearViewCache(); }
    // The transform's own path becomes `path` (after it was saved there), so the next save writes there.
    void Retarget(const std::wstring& path) { SetPath(path); }

    const std::wstring& base_path() const { return base_path_; }
    MsiFile& base() { return base_; }
    const std::vector<std::wstring>& earlier_transforms() const { return earlier_transforms_; }
    // The copy the transform edits (still after SaveUsingOptions handed it on).
    const std::wstring& backing_path() const { return backing_path_; }

    // Summary property 16 of the transform: validation << 16 | error conditions.
    WORD error_conditions() const { return error_conditions_; }
    WORD validation() const { return validation_; }
    void SetConditions(WORD error_conditions, WORD validation)
    {
        error_conditions_ = error_conditions;
        validation_ = validation;
    }

private:
    // Leaves the flags as they are when the file has no readable property 16.
    void ReadConditions(const std::wstring& transform_path);
    // Closes the backing handle and forgets the tables (a failed open, the destructor).
    void CloseBacking();

    // Declared first so it goes last, after every handle on its files is closed.
    TempFiles temp_files_;
    std::wstring backing_path_;
    std::wstring base_path_;
    MsiFile base_;
    std::vector<std::wstring> earlier_transforms_;
    WORD error_conditions_ = 0;
    WORD validation_ = 0;
};

using MsiTransformRef = std::shared_ptr<MsiTransform>;
