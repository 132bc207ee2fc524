#pragma once
// The `_Streams` lookup of a database tab.
#include "model/lookups/MsiStreamsTableLookupTemplate.h"
#include "model/lookups/MsiTableLookup.h"

using MsiStreamsTableLookup = MsiStreamsTableLookupTemplate<MsiTableLookup>;
