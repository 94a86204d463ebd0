#pragma once

// The engine behind layout::Solver: a sparse simplex tableau in the Cassowary style (slack, error
// and dummy symbols, rows keyed by their basic symbol, primal simplex after additions, dual
// simplex after constant changes) with two departures that matter for layout:
//
// - The objective is one row per priority level, compared lexicographically, so priorities are
//   strict. Pivoting follows Bland's rule (lowest symbol first), which cannot cycle; an
//   iteration cap stands guard all the same.
// - A required equality that introduces a variable seen nowhere else becomes a definition of that
//   variable instead of a tableau row. Chains such as "each view's top is the previous view's
//   bottom plus a gap" then stay out of the tableau, which would otherwise fill with long sums;
//   definition values are evaluated in order after each solve. A row that needs a defined
//   variable expands the definition first, so the tableau never holds defined variables.
//
// Each column keeps the list of rows that may hold its symbol (stale entries are dropped when
// the list is read), so a pivot touches only the rows it changes.

#include "platform/layout/Solver.h"
#include "platform/layout/SolverBlocks.h"
#include "platform/layout/SolverRowArena.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <queue>
#include <utility>
#include <vector>

namespace layout {

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

    // An array that grows in fixed chunks of 32 KB instead of doubling as a whole. The solver's
    // arrays (symbols, rows, columns, constraints, terms, definitions, objective levels) grow one
    // element at a time to tens of thousands; doubling would copy each of them several times over
    // and leave the memory it copied from to be handed back and faulted in again, while full
    // chunks never move, are each written once, and come from the thread's kept blocks (see
    // SolverBlocks.h). The first chunk grows like a vector, so a small solver stays small and
    // takes no block. Clearing keeps the chunks for the next use.
    template <typename T> class Chunked {
    public:
        Chunked() = default;
        Chunked(Chunked&& other) noexcept { swap(other); }
        Chunked& operator=(Chunked&& other) noexcept {
            Chunked moved(std::move(other));
            swap(moved);
            return *this;
        }
        ~Chunked() {
            clear();
            for (std::size_t c = 1; c < chunks_.size(); ++c)
                SolverBlocks::give(chunks_[c]);
        }

        std::size_t size() const { return size_; }
        bool empty() const { return size_ == 0; }
        T& operator[](std::size_t i) { return chunks_[i >> kShift][i & kMask]; }
        const T& operator[](std::size_t i) const { return chunks_[i >> kShift][i & kMask]; }
        T& back() { return (*this)[size_ - 1]; }
        // Appends a default value and returns it.
        T& emplace_back() {
            if (size_ < kChunk) {
                first_.emplace_back();
                if (chunks_.empty())
                    chunks_.push_back(nullptr);
                chunks_[0] = first_.data();
                return first_[size_++];
            }
            std::size_t chunk = size_ >> kShift;
            if (chunk == chunks_.size())
                chunks_.push_back(static_cast<T*>(SolverBlocks::take()));
            T* at = chunks_[chunk] + (size_ & kMask);
            ::new (static_cast<void*>(at)) T();
            ++size_;
            return *at;
        }
        void push_back(T value) { emplace_back() = std::move(value); }
        // Grows to `n` elements, the new ones default values; never shrinks.
        void growTo(std::size_t n) {
            if (n <= size_)
                return;
            if (size_ < kChunk) {
                // Within the first chunk, grow in one step as a vector would.
                std::size_t inFirst = std::min(n, kChunk);
                first_.resize(inFirst);
                if (chunks_.empty())
                    chunks_.push_back(nullptr);
                chunks_[0] = first_.data();
                size_ = inFirst;
            }
            while (size_ < n)
                emplace_back();
        }
        void clear() {
            for (std::size_t i = kChunk; i < size_; ++i)
                (*this)[i].~T();
            first_.clear();
            size_ = 0;
        }

    private:
        static_assert(sizeof(T) <= SolverBlocks::kBytes && alignof(T) <= alignof(std::max_align_t));
        static constexpr std::size_t kChunk = std::bit_floor(SolverBlocks::kBytes / sizeof(T));
        static constexpr int kShift = std::countr_zero(kChunk);
        static constexpr std::size_t kMask = kChunk - 1;

        void swap(Chunked& other) noexcept {
            std::swap(first_, other.first_);
            std::swap(chunks_, other.chunks_);
            std::swap(size_, other.size_);
        }

        std::vector<T> first_;   // the first chunk, grown like a vector
        std::vector<T*> chunks_; // chunks_[0] is first_'s storage, the rest are blocks
        std::size_t size_ = 0;
    };

    // The terms of a row, kept in the solver's row arena (the rows it stores and its scratch) or,
    // for a row made without one, on the heap.
    using Cells = std::vector<std::pair<int, double>, SolverRowArena::Allocator<std::pair<int, double>>>;

    // A sparse linear row: constant + sum(coefficient * symbol), terms sorted by symbol.
    struct Row {
        double constant = 0;
        Cells cells;
        Row() = default;
        explicit Row(SolverRowArena* arena) : cells(Cells::allocator_type(arena)) {}
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
        Chunked<double> cells;
        double coefficientFor(int symbol) const {
            return static_cast<std::size_t>(symbol) < cells.size() ? cells[static_cast<std::size_t>(symbol)]
                                                                   : 0.0;
        }
        double& cell(int symbol) {
            cells.growTo(static_cast<std::size_t>(symbol) + 1);
            return cells[static_cast<std::size_t>(symbol)];
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

    // First, so that it is destroyed last: every row's terms live in it.
    SolverRowArena arena_;
    Chunked<Symbol> symbols_;
    Chunked<TableauRow> rows_;
    std::vector<int> freeRows_;
    Chunked<Definition> definitions_;
    Chunked<Constraint> constraints_;
    Chunked<Term> terms_;
    Chunked<ColumnCell> columnCells_;
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
    Row raw_{&arena_};
    Cells merged_{Cells::allocator_type(&arena_)};
    std::priority_queue<std::pair<int, int>> pending_; // (definition index, symbol)

    // Scratch for building rows: a dense accumulator with a list of touched symbols.
    Chunked<double> scratch_;
    Chunked<char> scratchUsed_;
    Chunked<char> queued_;
    std::vector<int> scratchTouched_;
};

} // namespace layout
