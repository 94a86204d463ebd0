#pragma once

// A frozen copy of the solver as it was before the row storage changed, to compare against.

#include "platform/layout/Solver.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <memory>
#include <queue>
#include <utility>
#include <vector>

namespace layout_reference {

using layout::Expression;
using layout::kRequiredPriority;
using layout::Relation;
using layout::SolverStatus;
using layout::Term;
using layout::Variable;

class SolverImpl {
public:
    SolverImpl();
    ~SolverImpl();
    SolverImpl(const SolverImpl&) = delete;
    SolverImpl& operator=(const SolverImpl&) = delete;

    Variable addVariable();
    SolverStatus addConstraint(const Expression& expression, Relation relation, double priority);
    bool removeConstraint(int id);
    SolverStatus setConstant(int id, double constant);
    bool hasConstraint(int id) const;
    void solve();
    double value(Variable v) const;
    std::vector<std::pair<double, double>> objective() const;
    void reset();

private:
    enum class Kind : std::uint8_t { External, Slack, Error, Dummy };

    // An array that grows in fixed chunks of about 32 KB instead of doubling as a whole. The
    // solver's per-constraint arrays (constraints, their terms, definitions) grow one element at
    // a time to tens of thousands; doubling would copy each of them several times over and leave the memory it
    // copied from to be handed back and faulted in again, while full chunks never move and are
    // each written once. The first chunk grows like a vector, so a small solver stays small.
    // Clearing keeps the chunks' memory for the next use.
    template <typename T> class Chunked {
    public:
        std::size_t size() const { return size_; }
        bool empty() const { return size_ == 0; }
        T& operator[](std::size_t i) { return chunks_[i >> kShift][i & kMask]; }
        const T& operator[](std::size_t i) const { return chunks_[i >> kShift][i & kMask]; }
        T& back() { return (*this)[size_ - 1]; }
        // Appends a default value and returns it.
        T& emplace_back() {
            std::size_t chunk = size_ >> kShift;
            if (chunk == chunks_.size()) {
                chunks_.emplace_back();
                if (chunk > 0)
                    chunks_.back().reserve(kChunk);
            }
            ++size_;
            return chunks_[chunk].emplace_back();
        }
        void push_back(T value) { emplace_back() = std::move(value); }
        // Grows to `n` elements, the new ones default values; never shrinks.
        void growTo(std::size_t n) {
            while (size_ < n)
                emplace_back();
        }
        void clear() {
            for (auto& chunk : chunks_)
                chunk.clear();
            size_ = 0;
        }

    private:
        static constexpr std::size_t kChunk = std::bit_floor(std::size_t{32768} / sizeof(T));
        static constexpr int kShift = std::countr_zero(kChunk);
        static constexpr std::size_t kMask = kChunk - 1;
        std::vector<std::vector<T>> chunks_;
        std::size_t size_ = 0;
    };

    // A sparse linear row: constant + sum(coefficient * symbol), terms sorted by symbol.
    struct Row {
        double constant = 0;
        std::vector<std::pair<int, double>> cells;
        double coefficientFor(int symbol) const;
    };

    // A symbol is one of the solver's largest arrays, so the two fields that only one kind uses
    // share their storage.
    struct Symbol {
        Kind kind = Kind::External;
        int row = -1;        // index into rows_ while basic
        int definition = -1; // index into definitions_ while defined (externals)
        int column = -1;     // the first cell of the rows that may contain the symbol
        // For an external, the number of definitions that read it; for any other kind, the
        // constraint the symbol belongs to (see ownerOf).
        int refsOrOwner = 0;
    };

    // One cell of a column list: a row that may hold the symbol, and the next cell (-1 ends
    // the list). The cells of all columns share one pool, so noting a row allocates nothing.
    struct ColumnCell {
        int row = -1;
        int next = -1;
    };

    struct TableauRow {
        int basic = -1; // -1: free slot
        Row row;
    };

    struct Definition {
        int variable = -1;
        Row rhs; // variable = rhs
        bool alive = false;
        double value = 0; // as of the last solve
    };

    // The expression's terms live in terms_ (they never change once added), so a constraint
    // costs no allocation of its own. Constraints and their terms are appended together, so a
    // constraint's terms end where the next one's begin (see termEnd); what can be derived is
    // not stored, because there is one of these for every constraint.
    struct Constraint {
        double constant = 0;
        double priority = 0;
        int termBegin = 0;
        int marker = -1;
        int other = -1;
        int definition = -1;
        Relation relation = Relation::Equal;
        bool alive = false;
    };

    // An objective row, dense by symbol (zero where a symbol is absent): each priority level
    // sums the errors of many constraints while a pivot reads and changes only a few of its
    // cells, and there are only a handful of levels.
    struct ObjectiveRow {
        double constant = 0;
        std::vector<double> cells;
        double coefficientFor(int symbol) const {
            return static_cast<std::size_t>(symbol) < cells.size() ? cells[symbol] : 0.0;
        }
        double& cell(int symbol) {
            if (static_cast<std::size_t>(symbol) >= cells.size())
                cells.resize(static_cast<std::size_t>(symbol) + 1, 0.0); // grows geometrically
            return cells[symbol];
        }
    };

    struct Level {
        double priority = 0;
        ObjectiveRow row;
    };

    // Levels, highest priority first, and the symbols whose reduced cost changed since they were
    // last looked at: only those can have turned negative, so choosing the entering symbol does
    // not scan whole levels. The candidates are a bit set, taken lowest first: no word below
    // `lowest` has a bit set, so taking one reads forward from there a word at a time.
    struct Objective {
        std::vector<Level> levels;
        std::vector<std::uint64_t> candidates;
        std::size_t lowest = 0;
        void note(int symbol) {
            auto word = static_cast<std::size_t>(symbol) / 64;
            if (word >= candidates.size())
                candidates.resize(word + 1, 0);
            candidates[word] |= std::uint64_t{1} << (symbol % 64);
            lowest = std::min(lowest, word);
        }
        // The lowest candidate, no longer a candidate; -1 when there is none.
        int take() {
            for (; lowest < candidates.size(); ++lowest) {
                std::uint64_t& bits = candidates[lowest];
                if (bits == 0)
                    continue;
                int bit = std::countr_zero(bits);
                bits &= bits - 1;
                return static_cast<int>(lowest * 64) + bit;
            }
            return -1;
        }
    };

    int newSymbol(Kind kind, int owner);
    int ownerOf(int symbol) const {
        return symbols_[symbol].kind == Kind::External ? -1 : symbols_[symbol].refsOrOwner;
    }
    int termEnd(int id) const;
    // The marker's coefficient beside the expression's constant.
    double markerCoefficient(const Constraint& c) const;
    bool isRequired(double priority) const { return priority >= kRequiredPriority; }
    Level& levelFor(double priority);

    // Row arithmetic that keeps the columns in step. `rowId` is -1 for rows outside the tableau
    // (objective levels, the artificial row, definitions).
    void rowAdd(Row& row, int rowId, int symbol, double coefficient);
    void rowAddRow(Row& row, int rowId, const Row& other, double multiplier);
    void rowSolveFor(Row& row, int symbol);
    void rowSubstitute(Row& row, int rowId, int symbol, const Row& with);
    void objectiveAdd(Objective& o, ObjectiveRow& row, int symbol, double coefficient);
    void objectiveAddRow(Objective& o, ObjectiveRow& row, const Row& other, double multiplier);
    void objectiveSubstitute(Objective& o, int symbol, const Row& with);

    void noteInColumn(int symbol, int rowId);
    int storeRow(int basic, Row row);
    void dropRow(int rowId);
    // The rows that hold the symbol, in ascending order; the list is pruned of stale entries.
    // The result lives in scratch that the next call overwrites.
    const std::vector<int>& liveColumn(int symbol);
    void clearColumn(int symbol);
    void freeColumnCells(int cell);
    // Replaces `symbol` by `with` in every row, the objective and the artificial row.
    void substitute(int symbol, const Row& with);
    void pivot(int rowId, int entering);

    bool isFresh(int symbol);
    Row expand(const Row& raw);
    SolverStatus addToTableau(int id, Row row);
    bool addWithArtificialVariable(Row row, std::vector<int>& conflicting);
    void optimize(Objective& objective);
    void optimizeObjective();
    bool dualOptimize(std::vector<int>& conflicting);
    int enteringSymbol(Objective& objective);
    bool lexNegative(int symbol, const Objective& objective) const;
    int leavingRow(int entering);
    void shiftMarker(const Constraint& c, double delta);
    void removeFromObjective(const Constraint& c);
    void rebuildWithout(int id);
    SolverStatus install(int id);
    int markerLeavingRow(int marker);
    void ensureScratch();
    void collectOwners(const Row& row, std::vector<int>& out) const;
    double symbolValue(int symbol) const;
    void evaluateDefinitions();

    std::vector<Symbol> symbols_;
    std::vector<TableauRow> rows_;
    std::vector<int> freeRows_;
    Chunked<Definition> definitions_;
    Chunked<Constraint> constraints_;
    Chunked<Term> terms_;
    std::vector<ColumnCell> columnCells_;
    int freeColumnCells_ = -1; // first free cell, chained through `next`
    std::vector<int> liveColumn_;
    Objective objective_;
    Objective* artificial_ = nullptr;
    std::vector<int> infeasible_;
    bool needsOptimize_ = false;
    bool needsEvaluate_ = false;
    int variableCount_ = 0;

    // Scratch kept between calls so that adding a constraint or pivoting allocates only for the
    // rows it stores: the raw row of a constraint, the buffer a merge writes into (swapped with
    // the row it replaces), and the definitions waiting to be expanded.
    Row raw_;
    std::vector<std::pair<int, double>> merged_;
    std::priority_queue<std::pair<int, int>> pending_; // (definition index, symbol)

    // Scratch for building rows: a dense accumulator with a list of touched symbols.
    std::vector<double> scratch_;
    std::vector<char> scratchUsed_;
    std::vector<char> queued_;
    std::vector<int> scratchTouched_;
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

} // namespace layout_reference
