#pragma once

// A linear constraint solver with strictly ordered priorities: an incremental simplex solver of
// the Cassowary family. Constraints are `expression relation 0` with a priority on the 0-1000
// scale; 1000 and above is required (a hard constraint), anything below is preferred. Preferred
// constraints are met priority level by priority level: no number of violations at one level is
// worth one unit of violation at a higher level, so the objective is a vector compared
// lexicographically rather than a weighted sum.
//
//     layout::Solver s;
//     auto x = s.addVariable();
//     s.addConstraint({{{x, 1}}, -20}, layout::Relation::GreaterThanOrEqual, 1000);  // x >= 20
//     s.addConstraint({{{x, 1}}, -10}, layout::Relation::Equal, 999);                 // x == 10 @999
//     s.solve();  // s.value(x) == 20
//
// Failure modes: adding a required constraint that cannot hold together with the required
// constraints already there fails; so does a constant change that would make the required
// constraints contradict each other. Both report the ids of the constraints involved and keep
// the system as it was: the same constraints with the same constants, so the next solve reaches
// the same objective. The values themselves may settle on another solution that is just as good
// (finding the contradiction moves the solver through other solutions, and it does not retrace
// its steps), so a caller that needs stable values must not rely on them staying put across a
// refusal. Preferred constraints never fail.

#include <memory>
#include <vector>

namespace layout {

class SolverImpl;

struct Variable {
    int id = -1;
    bool operator==(const Variable&) const = default;
};

struct Term {
    Variable variable;
    double coefficient = 1;
};

// A linear expression: the sum of the terms plus the constant.
struct Expression {
    std::vector<Term> terms;
    double constant = 0;
};

enum class Relation { LessThanOrEqual = -1, Equal = 0, GreaterThanOrEqual = 1 };

inline constexpr double kRequiredPriority = 1000;

// The outcome of an operation that can meet contradicting required constraints. `conflicting`
// names the required constraints that cannot hold together (the one being added or changed
// first); it is empty on success.
struct [[nodiscard]] SolverStatus {
    int id = -1; // the new constraint's id for addConstraint
    std::vector<int> conflicting;
    bool ok() const { return conflicting.empty(); }
};

class Solver {
public:
    Solver();
    ~Solver();
    Solver(const Solver&) = delete;
    Solver& operator=(const Solver&) = delete;

    Variable addVariable();

    // Adds `expression relation 0` at the priority. On failure the constraints and the objective
    // stay as they were (the values may move among equally good solutions, see above).
    SolverStatus addConstraint(const Expression& expression, Relation relation, double priority);
    // Removes a constraint added before; false for an unknown id.
    bool removeConstraint(int id);
    // Replaces the constant of a constraint's expression without rebuilding anything. On failure
    // the old constant stays, with the same caveat about values as a refused add.
    SolverStatus setConstant(int id, double constant);
    bool hasConstraint(int id) const;

    // An edit variable is a preferred `variable == value` whose value changes often.
    int addEditVariable(Variable variable, double priority, double value);
    SolverStatus suggestValue(int editId, double value) { return setConstant(editId, -value); }

    // Brings the values up to date (adds and constant changes are folded in lazily).
    void solve();
    // The variable's value in the last solution (call solve first).
    double value(Variable variable) const;

    // The total violation of the preferred constraints at each priority level, highest first,
    // as (priority, violation) pairs. Two optimal solutions of one system have equal objectives.
    std::vector<std::pair<double, double>> objective() const;

    // Throws everything away.
    void reset();

private:
    std::unique_ptr<SolverImpl> impl_;
};

} // namespace layout
