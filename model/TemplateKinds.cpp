#include "model/TemplateKinds.h"

#include <cwchar>

const wchar_t kPackageTemplateCategory[] = L"{3D6AAF41-53ED-44B8-9DCC-7EEDC9D0A994}";

const std::vector<TemplateKind>& TemplateKinds()
{
    static const std::vector<TemplateKind> kinds = {
        {L"Package", kPackageTemplateCategory, L".msi", L"Package (.msi)", L"*.msi"},
        {L"Merge Module", L"{520DB7F5-AC9C-45BC-A8C2-ABC21100AAD8}", L".msm", L"Merge Module (.msm)",
         L"*.msm"},
        {L"Templates", L"{FC2CEF75-D7DA-46a4-811F-8C1331128728}", L"", L"All Files (*.*)", L"*.*"},
    };
    return kinds;
}

const QualifiedComponent* LargestNumericQualifier(const std::vector<QualifiedComponent>& entries)
{
    const QualifiedComponent* best = nullptr;
    long best_number = 0;
    for (const QualifiedComponent& entry : entries) {
        // As wcstol reads it: a text without leading digits counts as 0, a huge one as LONG_MAX.
        long number = std::wcstol(entry.qualifier.c_str(), nullptr, 10);
        if (!best || number > best_number) {
            best = &entry;
            best_number = number;
        }
    }
    return best;
}

std::optional<QualifiedComponent> FindReferenceDatabase()
{
    std::vector<QualifiedComponent> entries = EnumQualifiedComponents(kPackageTemplateCategory);
    const QualifiedComponent* reference = LargestNumericQualifier(entries);
    if (!reference)
        return std::nullopt;
    return *reference;
}
