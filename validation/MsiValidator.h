#pragma once
// A validation run: the task that copies each chosen document, runs the chosen ICEs of every enabled cub
// of a profile against the copy, writes each ICE message as a line of the results file and lists it in
// the results pane. The documents are copied when the validator is built, on the user-interface thread,
// so no edit interleaves with the copy; the run itself touches only the copies.
//
//     MsiValidator::Documents documents = MsiValidator::DocumentsOf(files_dialog.Chosen());
//     auto task = std::make_shared<MsiValidator>(results_path, &frame->GetProgressWindow(),
//                                                &frame->GetLogTabs().Validation(), documents,
//                                                files_dialog.Profile());
//     frame->RunTasks({task}, frame, threaded);
#include "foundation/Task.h"
#include "foundation/TempFiles.h"
#include "validation/IceEvaluator.h"
#include "validation/ValidationProfile.h"

#include <windows.h>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

class EditableMsiFileTab;
class MsiFile;
class ProgressWindow;
class ValidationWindow;

class MsiValidator : public LoggingTask
{
public:
    struct Document
    {
        MsiFile* file = nullptr;
        // What the document's tab answers GetPath: messages and the environment name it.
        std::wstring path;
    };
    using Documents = std::vector<Document>;

    static Documents DocumentsOf(const std::vector<EditableMsiFileTab*>& tabs);

    // Creates the results file anew (Win32Error "CreateFile") and copies every document (the save-as
    // operation's errors). progress and results may be null.
    MsiValidator(const std::wstring& results_path, ProgressWindow* progress, ValidationWindow* results,
                 const Documents& documents, ValidationProfileRef profile);
    ~MsiValidator() override;

    void Run() override;
    // One cub on one copy, through the evaluation object or merged into the copy as custom actions.
    void RunEvalCom(IIceEvaluator& evaluator, const std::wstring& copy_path, const ValidationCub& cub);
    void RunMergedCub(const std::wstring& copy_path, const ValidationCub& cub);
    // One ICE message; what the handler answers.
    int RecordMessage(const std::wstring& text, UINT message_type);

    static int WINAPI ExternalUIHandler(void* context, UINT message_type, LPCWSTR message);
    static BOOL WINAPI EvalComDisplayCallback(void* context, UINT type, LPCWSTR ice, LPCWSTR description,
                                              LPCWSTR location);

    // Closes the results file (the run does when it ends): later messages fail with "WriteFile".
    void CloseResultsFile();
    const std::wstring& CopyPath(size_t document) const { return copies_.at(document).copy_path; }

private:
    enum class Mode
    {
        MergedCub = 0,
        EvalCom = 1
    };
    struct Copy
    {
        std::wstring path;
        std::wstring copy_path;
        bool has_property = false;
    };

    void ValidateDocument(size_t index);
    void RunCub(const std::wstring& copy_path, const ValidationCub& cub, bool com_ready);
    // For each selected ICE of the cub, why the installer could not run it, or empty (Win32Error
    // "MsiOpenDatabase" when the cub cannot be read). Such an ICE is not started: the installer would
    // wait forever for a server it cannot start.
    std::vector<std::wstring> BlockedIces(const ValidationCub& cub) const;
    // Lists the ICE's failure to start as its own message, and the run goes on with the next ICE.
    void ReportBlockedIce(const std::wstring& ice, const std::wstring& reason);
    int Answer(UINT message_type) const;
    // The first exception of a handler or callback, which must not cross the installer or COM; raised
    // once the call that ran them has returned.
    void KeepError(std::exception_ptr error);
    bool HasKeptError() const;
    void RaiseKeptError();
    void WriteLine(const std::wstring& line);

    ProgressWindow* progress_;
    ValidationWindow* results_;
    HANDLE results_file_ = INVALID_HANDLE_VALUE;
    ValidationProfileRef profile_;
    TempFiles temp_files_;
    std::vector<Copy> copies_;

    // What the handler works with; set by the run between actions, read by the handler.
    std::wstring document_path_;
    const ValidationCub* current_cub_ = nullptr;
    bool has_property_ = false;
    Mode mode_ = Mode::MergedCub;
    uint32_t ices_seen_ = 0;
    uint32_t ices_total_ = 0;
    std::wstring last_ice_;

    // The installer calls the handler on a thread of its own.
    std::mutex record_lock_;
    mutable std::mutex error_lock_;
    std::exception_ptr kept_error_;
};
