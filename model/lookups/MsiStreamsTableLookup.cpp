#include "model/lookups/MsiStreamsTableLookup.h"

template class MsiStreamsTableLookupTemplate<MsiTableLookup>;
