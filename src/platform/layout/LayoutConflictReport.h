#pragma once

// What the layout engine says when required constraints contradict each other: one log line
// naming them, "Unable to simultaneously satisfy constraints: ...; keeping the last layout",
// told once for the same conflict. A view that rebuilds its constraints hands the engine new
// objects for the same relations, maybe in another order; that is the same conflict, so a
// conflict is recognised by what its constraints relate, not by the objects.

#include <string>
#include <tuple>
#include <vector>

struct LayoutConflictMember {
    // What the constraint relates: the views (by identity), their attributes, the relation, the
    // multiplier, the constant and the priority. The engine's own constraints (a view held at its
    // frame, content hugging) have the view and their kind.
    using Relation = std::tuple<const void*, int, int, const void*, int, double, double, double>;

    std::string name; // how the log line names it
    Relation relation;
};

class LayoutConflictReport {
public:
    // Logs the conflict unless it is the one told last; answers whether it logged.
    bool tell(std::vector<LayoutConflictMember> members);
    // The system holds again: the next conflict is told, even the same one.
    void clear() { last_.clear(); }

private:
    std::vector<LayoutConflictMember::Relation> last_; // sorted
};
