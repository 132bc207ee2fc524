// The validator's side of the ICE messages: the installer's handler and the evaluation object's callback
// run on threads of their own, inside the installer or COM, so nothing may be thrown through them: the
// first error is kept and raised by the run once the call has returned.
#include "validation/MsiValidator.h"

#include "foundation/Errors.h"
#include "foundation/ProgressWindow.h"
#include "foundation/CsvText.h"
#include "frame/ValidationMessage.h"
#include "validation/ValidationWindow.h"

#include <msi.h>
#include <algorithm>

namespace {

// Lines an ICE always reports for a database without a Property table.
const wchar_t* const kMissingPropertyLines[] = {
    L"ICE03\t1\tTable: Property Column: Property Missing specifications in _Validation Table (or Old "
    L"Database)\tice03.html\tProperty",
    L"ICE03\t1\tTable: Property Column: Value Missing specifications in _Validation Table (or Old "
    L"Database)\tice03.html\tProperty",
};

// One line of the results file: quotes become single quotes, line breaks their escapes.
std::wstring EscapeLine(const std::wstring& text)
{
    std::wstring line;
    line.reserve(text.size());
    for (wchar_t c : text) {
        if (c == L'"')
            line += L'\'';
        else if (c == L'\r')
            line += L"\\r";
        else if (c == L'\n')
            line += L"\\n";
        else
            line += c;
    }
    return line;
}

} // namespace

int WINAPI MsiValidator::ExternalUIHandler(void* context, UINT message_type, LPCWSTR message)
{
    auto* validator = static_cast<MsiValidator*>(context);
    if (!validator || !message)
        return 0;
    try {
        if (validator->HasKeptError())
            return IDCANCEL;
        return validator->RecordMessage(message, message_type);
    } catch (...) {
        validator->KeepError(std::current_exception());
        return IDCANCEL;
    }
}

BOOL WINAPI MsiValidator::EvalComDisplayCallback(void* context, UINT type, LPCWSTR ice, LPCWSTR description,
                                                 LPCWSTR location)
{
    auto* validator = static_cast<MsiValidator*>(context);
    if (!validator)
        return FALSE;
    try {
        if (validator->HasKeptError())
            return FALSE;
        std::wstring line = std::wstring(ice ? ice : L"") + L"\t" + std::to_wstring(type) + L"\t" +
                            (description ? description : L"") + L"\t" + (location ? location : L"");
        return validator->RecordMessage(line, INSTALLMESSAGE_USER);
    } catch (...) {
        validator->KeepError(std::current_exception());
        return FALSE;
    }
}

int MsiValidator::Answer(UINT message_type) const
{
    if (mode_ == Mode::EvalCom)
        return IsCancelled() ? FALSE : TRUE;
    if (IsCancelled())
        return IDCANCEL;
    return (message_type & 0xFF000000) == INSTALLMESSAGE_USER ? IDOK : 0;
}

int MsiValidator::RecordMessage(const std::wstring& text, UINT message_type)
{
    std::lock_guard<std::mutex> hold(record_lock_);
    if (text.empty())
        return Answer(message_type);
    std::wstring line = EscapeLine(text);
    // No quotes are left, so the reader cannot refuse the line.
    CsvRowList rows;
    ParseCsvText(line, rows);
    std::vector<std::wstring> fields = rows.empty() ? std::vector<std::wstring>() : rows.front();
    std::wstring ice = fields.empty() ? std::wstring() : fields[0];
    if (ice != last_ice_) {
        last_ice_ = ice;
        ++ices_seen_;
        if (progress_) {
            progress_->SetDetail(1, ice);
            // ICEs may post under names outside the selection.
            uint32_t position = ices_total_ ? std::min<uint32_t>(100, 100 * ices_seen_ / ices_total_) : 100;
            progress_->SetPosition(1, static_cast<int>(position));
        }
    }
    bool information = fields.size() > 1 && fields[1] == L"3";
    if (information && !(current_cub_ && current_cub_->ShowInfo))
        return Answer(message_type);
    if (!has_property_)
        for (const wchar_t* missing : kMissingPropertyLines)
            if (line == missing)
                return Answer(message_type);
    WriteLine(line + L"\r\n");
    if (results_)
        results_->AddMessage(ValidationMessage::FromFields(
            fields, document_path_, current_cub_ ? current_cub_->name : std::wstring()));
    return Answer(message_type);
}

void MsiValidator::WriteLine(const std::wstring& line)
{
    DWORD size = static_cast<DWORD>(line.size() * sizeof(wchar_t));
    DWORD written = 0;
    if (!WriteFile(results_file_, line.data(), size, &written, nullptr))
        tfc::throw_last_error(L"WriteFile");
    if (written != size)
        throw tfc::Win32Error(ERROR_WRITE_FAULT, L"WriteFile");
}

void MsiValidator::KeepError(std::exception_ptr error)
{
    std::lock_guard<std::mutex> hold(error_lock_);
    if (!kept_error_)
        kept_error_ = error;
}

bool MsiValidator::HasKeptError() const
{
    std::lock_guard<std::mutex> hold(error_lock_);
    return static_cast<bool>(kept_error_);
}

void MsiValidator::RaiseKeptError()
{
    std::exception_ptr error;
    {
        std::lock_guard<std::mutex> hold(error_lock_);
        std::swap(error, kept_error_);
    }
    if (error)
        std::rethrow_exception(error);
}
