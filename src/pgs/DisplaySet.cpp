#include "DisplaySet.h"

bool CheckDisplaySet(CDsData& set)
{
    if (!set.End)
        set.End.emplace();
    switch (set.CompositionState) {
    case NormalCase: return true;
    case AcquisitionPoint:
    case EpochStart:
    case EpochContinue: return set.Wds.has_value() && !set.Palettes.empty();
    default: return false;
    }
}
