#include "platform/layout/LayoutConflictReport.h"

#include "platform/foundation/NSLog.h"

#include <algorithm>

bool LayoutConflictReport::tell(std::vector<LayoutConflictMember> members) {
    std::vector<LayoutConflictMember::Relation> relations;
    relations.reserve(members.size());
    std::string names;
    for (const auto& member : members) {
        relations.push_back(member.relation);
        if (!names.empty())
            names += ", ";
        names += member.name;
    }
    std::sort(relations.begin(), relations.end());
    if (!last_.empty() && relations == last_)
        return false;
    last_ = std::move(relations);
    NSLog("%@", {PlistValue("Unable to simultaneously satisfy constraints: " + names +
                            "; keeping the last layout")});
    return true;
}
