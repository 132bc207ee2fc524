#include "model/lookups/MsiDiffStreamsTableLookup.h"

MsiDiffStreamsTableLookup::MsiDiffStreamsTableLookup(MsiTable* base, MsiTable* transformed)
    : MsiStreamsTableLookupTemplate<MsiDiffTableLookupBasic>(base, transformed)
{
    ResetIndexes();
}

std::shared_ptr<MsiDiffTableLookupBasic> MakeDiffTableLookup(MsiTable* base, MsiTable* transformed)
{
    MsiTable* named = transformed ? transformed : base;
    if (named && named->name() == L"_Streams")
        return std::make_shared<MsiDiffStreamsTableLookup>(base, transformed);
    return std::make_shared<MsiDiffTableLookupBasic>(base, transformed);
}
