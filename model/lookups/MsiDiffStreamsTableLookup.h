#pragma once
// The `_Streams` table of a transform view: the comparison of both databases' streams, where a stream
// that belongs to a row of the transformed database is edited at that row and never deleted here.
#include "model/lookups/MsiDiffTableLookupBasic.h"
#include "model/lookups/MsiStreamsTableLookupTemplate.h"

class MsiDiffStreamsTableLookup : public MsiStreamsTableLookupTemplate<MsiDiffTableLookupBasic>
{
public:
    MsiDiffStreamsTableLookup(MsiTable* base, MsiTable* transformed);
};

// The comparison lookup of one table of a transform view: the `_Streams` one for "_Streams".
std::shared_ptr<MsiDiffTableLookupBasic> MakeDiffTableLookup(MsiTable* base, MsiTable* transformed);
