// The validate command of both tab kinds: the files and profile chosen, then one validation job.
#include "shell/MsiFileTabBase.h"

#include "foundation/MessageTrail.h"
#include "foundation/Prompt.h"
#include "foundation/TempFiles.h"
#include "model/installer/MsiApi.h"
#include "shell/MainWindow.h"
#include "validation/MsiValidator.h"
#include "validation/ValidationFilesDlg.h"
#include "validation/ValidationWindow.h"

#include <commctrl.h>
#include <shlwapi.h>

bool MsiFileTabBase::ValidatesOnWorkerThread()
{
    return msi::LibraryMajorVersion() >= 3;
}

void MsiFileTabBase::RunValidation(const wchar_t* trail)
{
    try {
        MainWindow* frame = GetMainWindow();
        if (!frame)
            return;
        if (frame->GetJobRunner().IsRunning()) {
            ShowMessageBox(DialogOwner(), L"There is already a job running", L"", MB_ICONINFORMATION);
            return;
        }
        std::vector<EditableMsiFileTab*> documents;
        for (const auto& document : frame->GetTabs().Documents())
            if (auto* tab = dynamic_cast<EditableMsiFileTab*>(document.get()))
                documents.push_back(tab);
        ValidationFilesDlg files(documents, {this});
        if (!files.DoModal(DialogOwner()) || files.Chosen().empty())
            return;
        ValidationWindow& pane = frame->GetLogTabs().Validation();
        pane.Clear();
        std::wstring results = GetTempFiles().Create(L"Validation", GlobalTempFiles().GetFolder());
        auto validator =
            std::make_shared<MsiValidator>(results, &frame->GetProgressWindow(), &pane,
                                           MsiValidator::DocumentsOf(files.Chosen()), files.Profile());
        SendMessageW(frame->GetLogTabs().GetWindowHandle(), TCM_SETCURSEL, 1, 0);
        frame->GetLogTabs().OnSelectionChange();
        frame->RunTasks({validator}, frame, ValidatesOnWorkerThread());
    } catch (...) {
        tfc::thread_messages().push_back(trail);
        throw;
    }
}
