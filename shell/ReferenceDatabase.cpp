#include "shell/ReferenceDatabase.h"

#include <cwchar>

namespace {

const wchar_t kReferenceComponent[] = L"{3D6AAF41-53ED-44B8-9DCC-7EEDC9D0A994}";

ReferenceDatabaseSource& Source()
{
    static ReferenceDatabaseSource source;
    return source;
}

} // namespace

std::vector<QualifiedComponent> RegisteredReferenceDatabases()
{
    if (Source())
        return Source()();
    return EnumQualifiedComponents(kReferenceComponent);
}

ReferenceDatabaseSource SetReferenceDatabaseSource(ReferenceDatabaseSource source)
{
    ReferenceDatabaseSource previous = std::move(Source());
    Source() = std::move(source);
    return previous;
}

int ChooseReferenceDatabase(const std::vector<QualifiedComponent>& entries)
{
    int chosen = -1;
    long best = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        long value = std::wcstol(entries[i].qualifier.c_str(), nullptr, 10);
        if (chosen < 0 || value > best) {
            chosen = static_cast<int>(i);
            best = value;
        }
    }
    return chosen;
}
