#pragma once
// How much of a found file's data the volume still holds, judged from the
// current allocation (FAT, $Bitmap, ...): clusters a live file took since are
// lost to the deleted one. Engines compute it; lists, reports and the result
// pages show it. Recovery still writes what the user ticks.
#include <string_view>

namespace vantor {

enum class DataCondition {
    Unknown,            // not judged (no allocation map, or not computed yet)
    Intact,             // every cluster of the file is still free (or its own)
    PartlyOverwritten,  // some of its clusters are held by live files now
    Overwritten,        // all of them are, or its first cluster is
};

// "unknown", "intact", "partly overwritten", "overwritten" (JSON and reports).
constexpr std::string_view DataConditionText(DataCondition c) {
    switch (c) {
        case DataCondition::Intact: return "intact";
        case DataCondition::PartlyOverwritten: return "partly overwritten";
        case DataCondition::Overwritten: return "overwritten";
        case DataCondition::Unknown: break;
    }
    return "unknown";
}

}  // namespace vantor
