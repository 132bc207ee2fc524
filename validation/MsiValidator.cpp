#include "validation/MsiValidator.h"

#include "foundation/FileUtil.h"
#include "foundation/Errors.h"
#include "foundation/Format.h"
#include "model/installer/MsiApi.h"
#include "model/MsiBinaryData.h"
#include "model/MsiFile.h"
#include "model/MsiTable.h"
#include "frame/DocumentTab.h"
#include "foundation/ProgressWindow.h"
#include "validation/IceCheck.h"

#include <objbase.h>

namespace {

// COM for the run's thread, balanced on every way out.
class ComApartment
{
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool ready() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

// The evaluation object when the platform has it, released on every way out.
class EvaluatorObject
{
public:
    EvaluatorObject()
    {
        CLSID id;
        if (SUCCEEDED(CLSIDFromProgID(L"MSI.EVALCOM2.1", &id)))
            if (FAILED(CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, kIceEvaluatorId,
                                        reinterpret_cast<void**>(&evaluator_))))
                evaluator_ = nullptr;
    }
    ~EvaluatorObject()
    {
        if (evaluator_)
            evaluator_->Release();
    }
    EvaluatorObject(const EvaluatorObject&) = delete;
    EvaluatorObject& operator=(const EvaluatorObject&) = delete;
    IIceEvaluator* get() const { return evaluator_; }

private:
    IIceEvaluator* evaluator_ = nullptr;
};

// The installer's user interface of the process while a package runs our handler; the previous
// handler and level come back on every way out.
class ExternalUIScope
{
public:
    ExternalUIScope(INSTALLUI_HANDLERW handler, void* context)
    {
        previous_level_ = msi::SetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        previous_handler_ = msi::SetExternalUI(handler, INSTALLLOGMODE_USER, context);
    }
    ~ExternalUIScope()
    {
        msi::SetExternalUI(previous_handler_, 0, nullptr);
        msi::SetInternalUI(previous_level_, nullptr);
    }
    ExternalUIScope(const ExternalUIScope&) = delete;
    ExternalUIScope& operator=(const ExternalUIScope&) = delete;

private:
    INSTALLUILEVEL previous_level_;
    INSTALLUI_HANDLERW previous_handler_;
};

const wchar_t kMergedKey[] = L"merged";

// Deletes the file of the key and forgets it; a file still in use stays registered for later.
void DeleteTempFile(TempFiles& files, const std::wstring& key)
{
    std::wstring path = files.FindPath(key);
    if (!path.empty() && DeleteFileW(path.c_str()))
        files.Release(key);
}

// The files behind the extracted stream cells of every table of the file.
void DeleteStreamFiles(MsiFile& file)
{
    for (const auto& entry : file.tables()) {
        const MsiTable& table = *entry.second;
        for (const MsiFieldDefRef& column : table.columns()) {
            if (column->kind() != MsiFieldKind::Binary)
                continue;
            for (const MsiRow& row : table.rows()) {
                MsiBinaryData data(*row[column->column_index()]);
                if (data.state == MsiBinaryData::Extracted)
                    DeleteTempFile(GlobalTempFiles(), data.path);
            }
        }
    }
}

// Writes the copy with the cub's tables merged in to the merged path.
void MergeCub(const std::wstring& copy_path, const std::wstring& cub_path, const std::wstring& merged_path)
{
    MsiFile package;
    package.Open(copy_path, MSIDBOPEN_TRANSACT);
    MsiFile suite;
    suite.Open(cub_path, MSIDBOPEN_READONLY);
    // Stream cells read out of either database are files of the process's registry: they go with the
    // merge instead of piling up until the program ends.
    struct StreamFiles
    {
        MsiFile& package;
        MsiFile& suite;
        ~StreamFiles()
        {
            DeleteStreamFiles(package);
            DeleteStreamFiles(suite);
        }
    } stream_files{package, suite};
    package.MergeTables(suite);
    package.Save(merged_path, false, std::wstring());
}

} // namespace

MsiValidator::Documents MsiValidator::DocumentsOf(const std::vector<EditableMsiFileTab*>& tabs)
{
    Documents documents;
    for (EditableMsiFileTab* tab : tabs)
        documents.push_back(Document{&tab->GetMsiFile(), tab->GetPath()});
    return documents;
}

MsiValidator::MsiValidator(const std::wstring& results_path, ProgressWindow* progress,
                           ValidationWindow* results, const Documents& documents,
                           ValidationProfileRef profile)
    : progress_(progress), results_(results), profile_(std::move(profile))
{
    results_file_ = CreateFileW(results_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (results_file_ == INVALID_HANDLE_VALUE)
        tfc::throw_last_error(L"CreateFile");
    try {
        for (const Document& document : documents) {
            Copy copy;
            copy.path = document.path;
            copy.has_property = static_cast<bool>(document.file->FindTable(L"Property"));
            copy.copy_path = temp_files_.Create(L"document" + std::to_wstring(copies_.size()));
            document.file->SaveDatabaseAs(copy.copy_path, false, std::wstring());
            DWORD attributes = GetFileAttributesW(copy.copy_path.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES)
                SetFileAttributesW(
                    copy.copy_path.c_str(),
                    attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
            copies_.push_back(copy);
        }
    } catch (...) {
        CloseHandle(results_file_);
        throw;
    }
}

MsiValidator::~MsiValidator()
{
    CloseResultsFile();
}

void MsiValidator::CloseResultsFile()
{
    if (results_file_ != INVALID_HANDLE_VALUE)
        CloseHandle(results_file_);
    results_file_ = INVALID_HANDLE_VALUE;
}

void MsiValidator::Run()
{
    // The results are complete when the run ends, however it ends; the job runner keeps the task
    // until the next job, and the file would stay locked until then.
    struct CloseResults
    {
        MsiValidator& validator;
        ~CloseResults() { validator.CloseResultsFile(); }
    } close_results{*this};
    ComApartment com;
    ices_total_ = 0;
    for (const ValidationCub& cub : profile_->cubs())
        if (cub.enabled)
            ices_total_ += static_cast<uint32_t>(cub.selected_ices.size());
    for (size_t i = 0; i < copies_.size() && !IsCancelled(); ++i) {
        ValidateDocument(i);
        for (const ValidationCub& cub : profile_->cubs()) {
            if (IsCancelled())
                break;
            if (!cub.enabled || cub.selected_ices.empty())
                continue;
            last_ice_.clear();
            RunCub(copies_[i].copy_path, cub, com.ready());
        }
        if (progress_) {
            progress_->SetAction(0, std::wstring());
            progress_->SetDetail(0, std::wstring());
            progress_->SetPosition(1, 0);
        }
    }
}

void MsiValidator::ValidateDocument(size_t index)
{
    const Copy& copy = copies_[index];
    document_path_ = copy.path;
    has_property_ = copy.has_property;
    if (progress_) {
        progress_->SetAction(0, L"Validating: " + FileNameOf(copy.path));
        progress_->SetDetail(0, L"Saving temp file");
        progress_->SetPosition(0, static_cast<int>(100 * index / copies_.size()));
    }
    SetEnvironmentVariableW(L"VRN_MM_QR_PROPERTY_FILENAME", FileNameOf(copy.path).c_str());
    SetEnvironmentVariableW(L"DRAVNETTA_VALIDATING_FILENAME", copy.path.c_str());
    if (progress_)
        progress_->SetDetail(0, L"Validating");
    ices_seen_ = 0;
}

void MsiValidator::RunCub(const std::wstring& copy_path, const ValidationCub& cub, bool com_ready)
{
    if (com_ready) {
        EvaluatorObject evaluator;
        if (evaluator.get()) {
            RunEvalCom(*evaluator.get(), copy_path, cub);
            return;
        }
    }
    RunMergedCub(copy_path, cub);
}

void MsiValidator::RunMergedCub(const std::wstring& copy_path, const ValidationCub& cub)
{
    mode_ = Mode::MergedCub;
    current_cub_ = &cub;
    CheckIcesCanRun(cub);
    if (progress_)
        progress_->SetAction(0, L"Merging cub");
    // The merged copy goes with the cub, however the cub ends; declared first, it goes after the
    // package that has it open.
    struct MergedCopy
    {
        TempFiles& files;
        std::wstring path;
        ~MergedCopy() { DeleteTempFile(files, kMergedKey); }
    } merged{temp_files_, temp_files_.Create(kMergedKey)};
    try {
        MergeCub(copy_path, cub.path, merged.path);
    } catch (...) {
        tfc::Format(L"The cub %s could not be merged into a copy of %s")
            << cub.name << FileNameOf(document_path_);
        throw;
    }
    if (progress_)
        progress_->SetAction(0, L"CUB: " + cub.name);

    ExternalUIScope ui(&MsiValidator::ExternalUIHandler, this);
    MsiHandle install;
    try {
        install = msi::OpenPackage(merged.path);
    } catch (...) {
        tfc::Format(L"The copy of %s merged with the cub %s could not be opened as a package")
            << FileNameOf(document_path_) << cub.name;
        throw;
    }
    for (uint32_t position : cub.selected_ices) {
        if (IsCancelled())
            break;
        if (position >= cub.ice_names.size())
            continue;
        try {
            msi::DoAction(install.get(), cub.ice_names[position]);
        } catch (const tfc::Win32Error&) {
            RaiseKeptError();
            // An ICE that stopped because the run was cancelled is no failure.
            if (!IsCancelled()) {
                tfc::Format(L"The ICE %s of the cub %s failed on %s")
                    << cub.ice_names[position] << cub.name << FileNameOf(document_path_);
                throw;
            }
        }
        RaiseKeptError();
    }
}

void MsiValidator::CheckIcesCanRun(const ValidationCub& cub) const
{
    MsiHandle database = msi::OpenDatabase(cub.path, MSIDBOPEN_READONLY);
    for (uint32_t position : cub.selected_ices) {
        if (position >= cub.ice_names.size())
            continue;
        std::wstring reason = WhyIceCannotRun(database.get(), cub.ice_names[position]);
        if (!reason.empty())
            throw tfc::ManageableError(L"The ICE " + cub.ice_names[position] + L" of the cub " + cub.name +
                                           L" cannot run on this system: " + reason + L".",
                                       std::wstring());
    }
}

void MsiValidator::RunEvalCom(IIceEvaluator& evaluator, const std::wstring& copy_path,
                              const ValidationCub& cub)
{
    auto check = [](HRESULT result, const wchar_t* text) {
        if (result != 0)
            throw tfc::ManageableError(text, std::wstring());
    };
    // Closes what was opened when a step fails; the closes of a run that went well are checked.
    struct Opened
    {
        IIceEvaluator& evaluator;
        bool database = false;
        bool cub = false;
        ~Opened()
        {
            if (cub)
                evaluator.CloseCub();
            if (database)
                evaluator.CloseDatabase();
        }
    } opened{evaluator};

    mode_ = Mode::EvalCom;
    current_cub_ = &cub;
    check(evaluator.SetDisplay(&MsiValidator::EvalComDisplayCallback, this),
          L"Failed to initialise the validator");
    check(evaluator.OpenDatabase(copy_path.c_str()), L"MSI.EVALCOM2 failed to open the database");
    opened.database = true;
    if (progress_)
        progress_->SetAction(0, L"CUB: " + cub.name);
    check(evaluator.OpenCub(cub.path.c_str()), L"MSI.EVALCOM2 failed to open the cub");
    opened.cub = true;
    std::wstring ices;
    for (uint32_t position : cub.selected_ices) {
        if (IsCancelled())
            break;
        if (position >= cub.ice_names.size())
            continue;
        if (!ices.empty())
            ices += L':';
        ices += cub.ice_names[position];
    }
    HRESULT validated = evaluator.Validate(ices.c_str());
    RaiseKeptError();
    if (!IsCancelled())
        check(validated, L"MSI.EVALCOM2 failed to validate");
    opened.cub = false;
    check(evaluator.CloseCub(), L"MSI.EVALCOM2 failed to close the cub");
    opened.database = false;
    check(evaluator.CloseDatabase(), L"MSI.EVALCOM2 failed to close the database");
}
