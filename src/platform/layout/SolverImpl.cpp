#include "platform/layout/SolverImpl.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <queue>

namespace layout {

namespace {
constexpr double kEpsilon = 1e-8;
bool nearZero(double v) {
    return std::fabs(v) < kEpsilon;
}
} // namespace

double SolverImpl::Row::coefficientFor(int symbol) const {
    auto it = std::lower_bound(cells.begin(), cells.end(), symbol,
                               [](const std::pair<int, double>& c, int s) { return c.first < s; });
    return it != cells.end() && it->first == symbol ? it->second : 0.0;
}

SolverImpl::SolverImpl() = default;
SolverImpl::~SolverImpl() = default;

int SolverImpl::newSymbol(Kind kind, int owner) {
    Symbol s;
    s.kind = kind;
    s.refsOrOwner = kind == Kind::External ? 0 : owner;
    symbols_.push_back(std::move(s));
    return static_cast<int>(symbols_.size()) - 1;
}

int SolverImpl::termEnd(int id) const {
    return id + 1 < static_cast<int>(constraints_.size()) ? constraints_[id + 1].termBegin
                                                          : static_cast<int>(terms_.size());
}

double SolverImpl::markerCoefficient(const Constraint& c) const {
    if (c.relation != Relation::Equal)
        return c.relation == Relation::LessThanOrEqual ? 1.0 : -1.0;
    return isRequired(c.priority) ? 1.0 : -1.0;
}

Variable SolverImpl::addVariable() {
    ++variableCount_;
    return Variable{newSymbol(Kind::External, -1)};
}

SolverImpl::Level& SolverImpl::levelFor(double priority) {
    auto& levels = objective_.levels;
    auto it = std::lower_bound(levels.begin(), levels.end(), priority,
                               [](const Level& l, double p) { return l.priority > p; });
    if (it != levels.end() && it->priority == priority)
        return *it;
    Level level;
    level.priority = priority;
    return *levels.insert(it, std::move(level));
}

void SolverImpl::objectiveAdd(Objective& o, ObjectiveRow& row, int symbol, double coefficient) {
    if (nearZero(coefficient))
        return;
    // A cell that reads zero is absent, so adding to it starts from the coefficient exactly.
    double& cell = row.cell(symbol);
    cell += coefficient;
    if (nearZero(cell))
        cell = 0;
    o.note(symbol);
}

void SolverImpl::objectiveAddRow(Objective& o, ObjectiveRow& row, const Row& other, double multiplier) {
    row.constant += other.constant * multiplier;
    for (auto& [s, c] : other.cells)
        objectiveAdd(o, row, s, c * multiplier);
}

void SolverImpl::objectiveSubstitute(Objective& o, int symbol, const Row& with) {
    for (auto& level : o.levels) {
        double c = level.row.coefficientFor(symbol);
        if (c == 0)
            continue;
        level.row.cells[symbol] = 0;
        objectiveAddRow(o, level.row, with, c);
    }
}

// --- Row arithmetic --------------------------------------------------------------------------

void SolverImpl::rowAdd(Row& row, int rowId, int symbol, double coefficient) {
    auto it = std::lower_bound(row.cells.begin(), row.cells.end(), symbol,
                               [](const std::pair<int, double>& c, int s) { return c.first < s; });
    if (it != row.cells.end() && it->first == symbol) {
        it->second += coefficient;
        if (nearZero(it->second))
            row.cells.erase(it);
        return;
    }
    if (nearZero(coefficient))
        return;
    row.cells.insert(it, {symbol, coefficient});
    if (rowId >= 0)
        noteInColumn(symbol, rowId);
}

void SolverImpl::rowAddRow(Row& row, int rowId, const Row& other, double multiplier) {
    row.constant += other.constant * multiplier;
    if (other.cells.size() == 1) {
        rowAdd(row, rowId, other.cells[0].first, other.cells[0].second * multiplier);
        return;
    }
    Cells& merged = merged_;
    merged.clear();
    merged.reserve(row.cells.size() + other.cells.size());
    auto a = row.cells.begin();
    auto b = other.cells.begin();
    while (a != row.cells.end() || b != other.cells.end()) {
        if (b == other.cells.end() || (a != row.cells.end() && a->first < b->first)) {
            merged.push_back(*a++);
        } else if (a == row.cells.end() || b->first < a->first) {
            double c = b->second * multiplier;
            if (!nearZero(c)) {
                merged.push_back({b->first, c});
                if (rowId >= 0)
                    noteInColumn(b->first, rowId);
            }
            ++b;
        } else {
            double c = a->second + b->second * multiplier;
            if (!nearZero(c))
                merged.push_back({a->first, c});
            ++a;
            ++b;
        }
    }
    row.cells.swap(merged);
}

// Turns `0 = constant + cells` into `symbol = ...`.
void SolverImpl::rowSolveFor(Row& row, int symbol) {
    auto it = std::lower_bound(row.cells.begin(), row.cells.end(), symbol,
                               [](const std::pair<int, double>& c, int s) { return c.first < s; });
    double coefficient = it->second;
    row.cells.erase(it);
    double r = -1.0 / coefficient;
    row.constant *= r;
    for (auto& c : row.cells)
        c.second *= r;
}

void SolverImpl::rowSubstitute(Row& row, int rowId, int symbol, const Row& with) {
    auto it = std::lower_bound(row.cells.begin(), row.cells.end(), symbol,
                               [](const std::pair<int, double>& c, int s) { return c.first < s; });
    if (it == row.cells.end() || it->first != symbol)
        return;
    double c = it->second;
    row.cells.erase(it);
    rowAddRow(row, rowId, with, c);
}

// --- Tableau ---------------------------------------------------------------------------------

void SolverImpl::noteInColumn(int symbol, int rowId) {
    int cell;
    if (freeColumnCells_ >= 0) {
        cell = freeColumnCells_;
        freeColumnCells_ = columnCells_[cell].next;
    } else {
        cell = static_cast<int>(columnCells_.size());
        columnCells_.emplace_back();
    }
    columnCells_[cell] = {rowId, symbols_[symbol].column};
    symbols_[symbol].column = cell;
}

int SolverImpl::storeRow(int basic, Row row) {
    int id;
    if (!freeRows_.empty()) {
        id = freeRows_.back();
        freeRows_.pop_back();
    } else {
        id = static_cast<int>(rows_.size());
        rows_.emplace_back();
    }
    for (auto& c : row.cells)
        noteInColumn(c.first, id);
    rows_[id].basic = basic;
    rows_[id].row = std::move(row);
    symbols_[basic].row = id;
    return id;
}

void SolverImpl::dropRow(int rowId) {
    symbols_[rows_[rowId].basic].row = -1;
    rows_[rowId].basic = -1;
    rows_[rowId].row = Row{};
    freeRows_.push_back(rowId);
}

void SolverImpl::freeColumnCells(int cell) {
    while (cell >= 0) {
        int next = columnCells_[cell].next;
        columnCells_[cell].next = freeColumnCells_;
        freeColumnCells_ = cell;
        cell = next;
    }
}

void SolverImpl::clearColumn(int symbol) {
    freeColumnCells(symbols_[symbol].column);
    symbols_[symbol].column = -1;
}

const std::vector<int>& SolverImpl::liveColumn(int symbol) {
    auto& column = liveColumn_;
    column.clear();
    for (int cell = symbols_[symbol].column; cell >= 0; cell = columnCells_[cell].next)
        column.push_back(columnCells_[cell].row);
    std::sort(column.begin(), column.end());
    column.erase(std::unique(column.begin(), column.end()), column.end());
    column.erase(std::remove_if(column.begin(), column.end(),
                                [&](int r) {
                                    return rows_[r].basic < 0 ||
                                           nearZero(rows_[r].row.coefficientFor(symbol));
                                }),
                 column.end());
    // Write the live rows back over the front of the list and free the rest of it.
    int cell = symbols_[symbol].column;
    int last = -1;
    for (int r : column) {
        columnCells_[cell].row = r;
        last = cell;
        cell = columnCells_[cell].next;
    }
    if (last >= 0)
        columnCells_[last].next = -1;
    else
        symbols_[symbol].column = -1;
    freeColumnCells(cell);
    return column;
}

void SolverImpl::substitute(int symbol, const Row& with) {
    // Substituting adds this row to the columns of `with`'s symbols, never to this symbol's own.
    const std::vector<int>& column = liveColumn(symbol);
    for (int r : column) {
        rowSubstitute(rows_[r].row, r, symbol, with);
        Kind kind = symbols_[rows_[r].basic].kind;
        if (kind != Kind::External && rows_[r].row.constant < -kEpsilon)
            infeasible_.push_back(r);
    }
    clearColumn(symbol);
    objectiveSubstitute(objective_, symbol, with);
    if (artificial_)
        objectiveSubstitute(*artificial_, symbol, with);
}

void SolverImpl::pivot(int rowId, int entering) {
    int leaving = rows_[rowId].basic;
    Row& row = rows_[rowId].row;
    rowAdd(row, rowId, leaving, -1.0);
    rowSolveFor(row, entering);
    symbols_[leaving].row = -1;
    rows_[rowId].basic = entering;
    symbols_[entering].row = rowId;
    // The pivot row no longer holds `entering`, so substituting never touches it.
    substitute(entering, row);
}

bool SolverImpl::isFresh(int symbol) {
    const Symbol& s = symbols_[symbol];
    if (s.kind != Kind::External || s.row >= 0 || s.definition >= 0 || s.refsOrOwner > 0)
        return false;
    return liveColumn(symbol).empty();
}

void SolverImpl::ensureScratch() {
    if (scratch_.size() < symbols_.size()) {
        scratch_.growTo(symbols_.size());
        scratchUsed_.growTo(symbols_.size());
        queued_.growTo(symbols_.size());
    }
}

// Rewrites a raw row over non-defined, non-basic symbols: definitions are expanded (latest
// first, so each is expanded once however many paths lead to it), then basic symbols are
// replaced by their rows.
SolverImpl::Row SolverImpl::expand(const Row& raw) {
    ensureScratch();
    double constant = raw.constant;
    auto accumulate = [&](int s, double c) {
        if (!scratchUsed_[s]) {
            scratchUsed_[s] = 1;
            scratch_[s] = 0;
            scratchTouched_.push_back(s);
        }
        scratch_[s] += c;
    };
    auto& pending = pending_;
    auto note = [&](int s) {
        int d = symbols_[s].definition;
        if (d >= 0 && !queued_[s]) {
            queued_[s] = 1;
            pending.push({d, s});
        }
    };
    for (auto& [s, c] : raw.cells) {
        accumulate(s, c);
        note(s);
    }
    while (!pending.empty()) {
        int s = pending.top().second;
        pending.pop();
        queued_[s] = 0;
        double c = scratch_[s];
        scratch_[s] = 0;
        if (c == 0)
            continue;
        const Row& rhs = definitions_[symbols_[s].definition].rhs;
        constant += c * rhs.constant;
        for (auto& [t, a] : rhs.cells) {
            accumulate(t, c * a);
            note(t);
        }
    }
    std::size_t count = scratchTouched_.size();
    for (std::size_t i = 0; i < count; ++i) {
        int s = scratchTouched_[i];
        int r = symbols_[s].row;
        if (r < 0 || scratch_[s] == 0)
            continue;
        double c = scratch_[s];
        scratch_[s] = 0;
        const Row& row = rows_[r].row;
        constant += c * row.constant;
        for (auto& [t, a] : row.cells)
            accumulate(t, c * a);
    }
    Row out(&arena_);
    out.constant = constant;
    std::size_t nonzero = 0;
    for (int s : scratchTouched_)
        nonzero += nearZero(scratch_[s]) ? 0 : 1;
    out.cells.reserve(nonzero);
    for (int s : scratchTouched_) {
        if (!nearZero(scratch_[s]))
            out.cells.push_back({s, scratch_[s]});
        scratchUsed_[s] = 0;
        scratch_[s] = 0;
    }
    scratchTouched_.clear();
    std::sort(out.cells.begin(), out.cells.end());
    return out;
}

// --- Adding ----------------------------------------------------------------------------------

SolverStatus SolverImpl::addConstraint(const Expression& expression, Relation relation, double priority) {
    Constraint c;
    c.termBegin = static_cast<int>(terms_.size());
    c.constant = expression.constant;
    for (const Term& t : expression.terms)
        terms_.push_back(t);
    c.relation = relation;
    c.priority = std::min(priority, kRequiredPriority);
    constraints_.push_back(std::move(c));
    int id = static_cast<int>(constraints_.size()) - 1;
    SolverStatus status = install(id);
    status.id = id;
    return status;
}

SolverStatus SolverImpl::install(int id) {
    Constraint& c = constraints_[id];
    c.alive = false;
    c.definition = -1;
    c.other = -1;
    bool required = isRequired(c.priority);

    Row& raw = raw_;
    raw.cells.clear();
    raw.constant = c.constant;
    for (int i = c.termBegin, end = termEnd(id); i < end; ++i) {
        const Term& t = terms_[i];
        if (t.variable.id < 0 || t.variable.id >= static_cast<int>(symbols_.size()) ||
            symbols_[t.variable.id].kind != Kind::External)
            continue;
        rowAdd(raw, -1, t.variable.id, t.coefficient);
    }
    if (c.relation != Relation::Equal) {
        double coefficient = c.relation == Relation::LessThanOrEqual ? 1.0 : -1.0;
        c.marker = newSymbol(Kind::Slack, id);
        rowAdd(raw, -1, c.marker, coefficient);
        if (!required) {
            c.other = newSymbol(Kind::Error, id);
            rowAdd(raw, -1, c.other, -coefficient);
        }
    } else if (required) {
        c.marker = newSymbol(Kind::Dummy, id);
        rowAdd(raw, -1, c.marker, 1);
    } else {
        c.marker = newSymbol(Kind::Error, id);
        c.other = newSymbol(Kind::Error, id);
        rowAdd(raw, -1, c.marker, -1);
        rowAdd(raw, -1, c.other, 1);
    }

    if (required && c.relation == Relation::Equal) {
        // A variable that nothing else mentions is simply defined by the equality.
        int subject = -1;
        for (auto& [s, coefficient] : raw.cells) {
            if (isFresh(s))
                subject = s;
        }
        if (subject >= 0) {
            Definition d;
            d.variable = subject;
            d.rhs = std::move(raw);
            rowSolveFor(d.rhs, subject);
            d.alive = true;
            for (auto& [s, coefficient] : d.rhs.cells) {
                if (symbols_[s].kind == Kind::External)
                    ++symbols_[s].refsOrOwner;
            }
            definitions_.push_back(std::move(d));
            c.definition = static_cast<int>(definitions_.size()) - 1;
            symbols_[subject].definition = c.definition;
            c.alive = true;
            needsEvaluate_ = true;
            return {};
        }
    }

    if (!required) {
        Level& level = levelFor(c.priority);
        if (symbols_[c.marker].kind == Kind::Error)
            objectiveAdd(objective_, level.row, c.marker, 1.0);
        objectiveAdd(objective_, level.row, c.other, 1.0);
    }
    Row row = expand(raw);
    SolverStatus status = addToTableau(id, std::move(row));
    if (status.ok()) {
        constraints_[id].alive = true;
        optimizeObjective();
    }
    return status;
}

SolverStatus SolverImpl::addToTableau(int id, Row row) {
    const Constraint& c = constraints_[id];
    if (row.constant < 0) {
        row.constant = -row.constant;
        for (auto& cell : row.cells)
            cell.second = -cell.second;
    }
    int subject = -1;
    for (auto& [s, coefficient] : row.cells) {
        if (symbols_[s].kind == Kind::External) {
            subject = s;
            break;
        }
    }
    if (subject < 0) {
        auto negativeIn = [&](int s) {
            return s >= 0 && (symbols_[s].kind == Kind::Slack || symbols_[s].kind == Kind::Error) &&
                   row.coefficientFor(s) < 0;
        };
        if (negativeIn(c.marker))
            subject = c.marker;
        else if (negativeIn(c.other))
            subject = c.other;
    }
    SolverStatus status;
    if (subject < 0) {
        bool allDummies = std::all_of(row.cells.begin(), row.cells.end(),
                                      [&](auto& cell) { return symbols_[cell.first].kind == Kind::Dummy; });
        if (allDummies) {
            if (!nearZero(row.constant)) {
                status.conflicting.push_back(id);
                collectOwners(row, status.conflicting);
                return status;
            }
            subject = c.marker;
        }
    }
    if (subject < 0) {
        std::vector<int> conflicting;
        if (!addWithArtificialVariable(std::move(row), conflicting)) {
            status.conflicting.push_back(id);
            for (int o : conflicting) {
                if (o != id)
                    status.conflicting.push_back(o);
            }
        }
    } else {
        rowSolveFor(row, subject);
        substitute(subject, row);
        storeRow(subject, std::move(row));
    }
    needsOptimize_ = true;
    needsEvaluate_ = true;
    return status;
}

bool SolverImpl::addWithArtificialVariable(Row row, std::vector<int>& conflicting) {
    int art = newSymbol(Kind::Slack, -1);
    Objective objective;
    objective.levels.emplace_back();
    ObjectiveRow& artificialRow = objective.levels.front().row;
    objectiveAddRow(objective, artificialRow, row, 1.0);
    storeRow(art, std::move(row));
    artificial_ = &objective;
    optimize(objective);
    artificial_ = nullptr;
    bool success = nearZero(artificialRow.constant);

    if (symbols_[art].row >= 0) {
        int rid = symbols_[art].row;
        Row remaining = std::move(rows_[rid].row);
        dropRow(rid);
        if (!success) {
            // The artificial objective now reads "art = positive + nonnegative terms": the
            // constraints owning those terms are the ones that cannot hold together.
            Row certificate;
            for (std::size_t s = 0; s < artificialRow.cells.size(); ++s) {
                if (artificialRow.cells[s] != 0)
                    certificate.cells.push_back({static_cast<int>(s), artificialRow.cells[s]});
            }
            collectOwners(certificate, conflicting);
            infeasible_.clear();
            return false;
        }
        if (!remaining.cells.empty()) {
            int entering = -1;
            for (auto& [s, coefficient] : remaining.cells) {
                Kind k = symbols_[s].kind;
                if (k == Kind::Slack || k == Kind::Error) {
                    entering = s;
                    break;
                }
            }
            if (entering < 0)
                entering = remaining.cells.front().first; // a redundant equality: keep a dummy basic
            rowSolveFor(remaining, entering);
            substitute(entering, remaining);
            storeRow(entering, std::move(remaining));
        }
    }
    for (int r : std::vector<int>(liveColumn(art))) {
        auto& cells = rows_[r].row.cells;
        cells.erase(std::remove_if(cells.begin(), cells.end(), [&](auto& cell) { return cell.first == art; }),
                    cells.end());
    }
    for (auto& level : objective_.levels) {
        if (level.row.coefficientFor(art) != 0)
            level.row.cells[art] = 0;
    }
    clearColumn(art);
    return success;
}

void SolverImpl::collectOwners(const Row& row, std::vector<int>& out) const {
    for (auto& [s, coefficient] : row.cells) {
        int owner = ownerOf(s);
        if (owner < 0 || !isRequired(constraints_[owner].priority))
            continue;
        if (std::find(out.begin(), out.end(), owner) == out.end())
            out.push_back(owner);
    }
}

// --- Simplex ---------------------------------------------------------------------------------

bool SolverImpl::lexNegative(int symbol, const Objective& objective) const {
    for (const Level& level : objective.levels) {
        double c = level.row.coefficientFor(symbol);
        if (c < -kEpsilon)
            return true;
        if (c > kEpsilon)
            return false;
    }
    return false;
}

// Bland's rule: the lowest symbol whose reduced cost, read level by level, is negative. Every
// such symbol is among the candidates, which are popped lowest first.
int SolverImpl::enteringSymbol(Objective& objective) {
    for (int s = objective.take(); s >= 0; s = objective.take()) {
        if (symbols_[s].kind != Kind::Dummy && symbols_[s].row < 0 && lexNegative(s, objective))
            return s;
    }
    return -1;
}

int SolverImpl::leavingRow(int entering) {
    int best = -1;
    double bestRatio = 0;
    for (int r : liveColumn(entering)) {
        int basic = rows_[r].basic;
        if (symbols_[basic].kind == Kind::External)
            continue;
        double c = rows_[r].row.coefficientFor(entering);
        if (c >= 0)
            continue;
        double ratio = -rows_[r].row.constant / c;
        if (best < 0 || ratio < bestRatio - kEpsilon ||
            (ratio < bestRatio + kEpsilon && basic < rows_[best].basic)) {
            best = r;
            bestRatio = ratio;
        }
    }
    return best;
}

void SolverImpl::optimize(Objective& objective) {
    std::size_t cap = 1000 + 50 * (rows_.size() + symbols_.size());
    for (std::size_t i = 0; i < cap; ++i) {
        int entering = enteringSymbol(objective);
        if (entering < 0)
            return;
        int r = leavingRow(entering);
        if (r < 0)
            return; // unbounded: cannot happen with objectives that are sums of nonnegative errors
        pivot(r, entering);
    }
}

void SolverImpl::optimizeObjective() {
    optimize(objective_);
    needsOptimize_ = false;
    needsEvaluate_ = true;
}

bool SolverImpl::dualOptimize(std::vector<int>& conflicting) {
    std::size_t cap = 1000 + 50 * (rows_.size() + symbols_.size());
    for (std::size_t i = 0; i < cap && !infeasible_.empty(); ++i) {
        int r = infeasible_.back();
        infeasible_.pop_back();
        int basic = rows_[r].basic;
        if (basic < 0 || symbols_[basic].kind == Kind::External || rows_[r].row.constant >= -kEpsilon)
            continue;
        const Row& row = rows_[r].row;
        int entering = -1;
        std::vector<double> best;
        const auto& levels = objective_.levels;
        std::vector<double> ratio(levels.size());
        for (auto& [s, c] : row.cells) {
            if (c <= kEpsilon || symbols_[s].kind == Kind::Dummy)
                continue;
            for (std::size_t k = 0; k < levels.size(); ++k)
                ratio[k] = levels[k].row.coefficientFor(s) / c;
            bool better = entering < 0;
            if (!better) {
                // Lexicographic comparison; on a tie the lower symbol, seen first, stays.
                for (std::size_t k = 0; k < ratio.size(); ++k) {
                    if (ratio[k] < best[k] - kEpsilon) {
                        better = true;
                        break;
                    }
                    if (ratio[k] > best[k] + kEpsilon)
                        break;
                }
            }
            if (better) {
                entering = s;
                best = ratio;
            }
        }
        if (entering < 0) {
            int owner = ownerOf(basic);
            if (owner >= 0 && isRequired(constraints_[owner].priority))
                conflicting.push_back(owner);
            collectOwners(row, conflicting);
            infeasible_.clear();
            return false;
        }
        pivot(r, entering);
    }
    return infeasible_.empty();
}

// --- Changing and removing -------------------------------------------------------------------

// Moves a constraint's marker symbol by `delta`, which is what a change of the constraint's
// constant amounts to. Rows that become negative are queued for the dual simplex; a redundant
// equality (a basic dummy) that stops reading zero means the required constraints now clash.
void SolverImpl::shiftMarker(const Constraint& c, double delta) {
    std::vector<int> clash;
    auto check = [&](int r) {
        Kind kind = symbols_[rows_[r].basic].kind;
        double constant = rows_[r].row.constant;
        if (kind == Kind::Dummy && !nearZero(constant))
            clash.push_back(r);
        else if (kind != Kind::External && constant < -kEpsilon)
            infeasible_.push_back(r);
    };
    int m = c.marker;
    if (symbols_[m].row >= 0) {
        int r = symbols_[m].row;
        rows_[r].row.constant -= delta;
        check(r);
    } else {
        for (int r : liveColumn(m)) {
            rows_[r].row.constant += rows_[r].row.coefficientFor(m) * delta;
            check(r);
        }
    }
    if (c.definition >= 0) {
        Row& rhs = definitions_[c.definition].rhs;
        rhs.constant += rhs.coefficientFor(m) * delta;
    }
    for (int r : clash) {
        // Leave a negative-looking row for dualOptimize to refuse.
        infeasible_.push_back(r);
    }
}

SolverStatus SolverImpl::setConstant(int id, double constant) {
    SolverStatus status;
    status.id = id;
    if (!hasConstraint(id))
        return status;
    Constraint& c = constraints_[id];
    double delta = constant - c.constant;
    if (delta == 0)
        return status;
    if (needsOptimize_)
        optimizeObjective();
    double shift = delta / markerCoefficient(c);
    shiftMarker(c, shift);
    c.constant = constant;
    std::vector<int> conflicting;
    bool dummyClash = false;
    for (int r : infeasible_) {
        if (rows_[r].basic >= 0 && symbols_[rows_[r].basic].kind == Kind::Dummy &&
            !nearZero(rows_[r].row.constant)) {
            dummyClash = true;
            collectOwners(rows_[r].row, conflicting);
            int owner = ownerOf(rows_[r].basic);
            if (owner >= 0)
                conflicting.push_back(owner);
        }
    }
    if (dummyClash || !dualOptimize(conflicting)) {
        infeasible_.clear();
        shiftMarker(c, -shift);
        c.constant = constant - delta;
        std::vector<int> ignored;
        dualOptimize(ignored);
        infeasible_.clear();
        status.conflicting.push_back(id);
        for (int o : conflicting) {
            if (std::find(status.conflicting.begin(), status.conflicting.end(), o) ==
                status.conflicting.end())
                status.conflicting.push_back(o);
        }
    }
    needsEvaluate_ = true;
    return status;
}

void SolverImpl::removeFromObjective(const Constraint& c) {
    if (isRequired(c.priority))
        return;
    Level& level = levelFor(c.priority);
    for (int e : {c.marker, c.other}) {
        if (e < 0 || symbols_[e].kind != Kind::Error)
            continue;
        if (symbols_[e].row >= 0)
            objectiveAddRow(objective_, level.row, rows_[symbols_[e].row].row, -1.0);
        else
            objectiveAdd(objective_, level.row, e, -1.0);
    }
}

int SolverImpl::markerLeavingRow(int marker) {
    int first = -1, second = -1, third = -1;
    double r1 = 0, r2 = 0;
    for (int r : liveColumn(marker)) {
        double c = rows_[r].row.coefficientFor(marker);
        int basic = rows_[r].basic;
        if (symbols_[basic].kind == Kind::External) {
            third = r;
        } else if (c < 0) {
            double ratio = -rows_[r].row.constant / c;
            if (first < 0 || ratio < r1) {
                r1 = ratio;
                first = r;
            }
        } else {
            double ratio = rows_[r].row.constant / c;
            if (second < 0 || ratio < r2) {
                r2 = ratio;
                second = r;
            }
        }
    }
    return first >= 0 ? first : second >= 0 ? second : third;
}

bool SolverImpl::removeConstraint(int id) {
    if (!hasConstraint(id))
        return false;
    Constraint& c = constraints_[id];
    if (c.definition >= 0) {
        // Rows that used the definition hold its expansion; building afresh is the simple way
        // to give the variable back its freedom.
        rebuildWithout(id);
        return true;
    }
    removeFromObjective(c);
    int m = c.marker;
    if (symbols_[m].row >= 0) {
        dropRow(symbols_[m].row);
    } else {
        int r = markerLeavingRow(m);
        if (r >= 0) {
            pivot(r, m);
            dropRow(symbols_[m].row);
        }
    }
    c.alive = false;
    needsOptimize_ = true;
    needsEvaluate_ = true;
    return true;
}

void SolverImpl::rebuildWithout(int id) {
    constraints_[id].alive = false;
    std::vector<int> keep;
    for (int i = 0; i < static_cast<int>(constraints_.size()); ++i) {
        if (constraints_[i].alive)
            keep.push_back(i);
    }
    rows_.clear();
    freeRows_.clear();
    definitions_.clear();
    objective_ = Objective{};
    infeasible_.clear();
    for (std::size_t i = 0; i < symbols_.size(); ++i) {
        Symbol& s = symbols_[i];
        s.row = -1;
        s.definition = -1;
        if (s.kind == Kind::External)
            s.refsOrOwner = 0;
        s.column = -1;
    }
    columnCells_.clear();
    freeColumnCells_ = -1;
    for (int i : keep)
        (void)install(i);
    needsOptimize_ = true;
    needsEvaluate_ = true;
}

bool SolverImpl::hasConstraint(int id) const {
    return id >= 0 && id < static_cast<int>(constraints_.size()) && constraints_[id].alive;
}

void SolverImpl::reset() {
    symbols_.clear();
    rows_.clear();
    freeRows_.clear();
    definitions_.clear();
    constraints_.clear();
    terms_.clear();
    columnCells_.clear();
    freeColumnCells_ = -1;
    objective_ = Objective{};
    infeasible_.clear();
    needsOptimize_ = needsEvaluate_ = false;
    variableCount_ = 0;
}

// --- Values ----------------------------------------------------------------------------------

double SolverImpl::symbolValue(int symbol) const {
    const Symbol& s = symbols_[symbol];
    if (s.row >= 0)
        return rows_[s.row].row.constant;
    if (s.definition >= 0)
        return definitions_[s.definition].value;
    return 0;
}

void SolverImpl::evaluateDefinitions() {
    // A definition reads only definitions made before it, so one pass in order suffices.
    for (std::size_t i = 0; i < definitions_.size(); ++i) {
        Definition& d = definitions_[i];
        if (!d.alive)
            continue;
        double v = d.rhs.constant;
        for (auto& [s, c] : d.rhs.cells)
            v += c * symbolValue(s);
        d.value = v;
    }
    needsEvaluate_ = false;
}

void SolverImpl::solve() {
    if (needsOptimize_)
        optimizeObjective();
    if (needsEvaluate_)
        evaluateDefinitions();
}

double SolverImpl::value(Variable v) const {
    if (v.id < 0 || v.id >= static_cast<int>(symbols_.size()))
        return 0;
    return symbolValue(v.id);
}

std::vector<std::pair<double, double>> SolverImpl::objective() const {
    std::map<double, double, std::greater<>> totals;
    for (int id = 0; id < static_cast<int>(constraints_.size()); ++id) {
        const Constraint& c = constraints_[id];
        if (!c.alive || isRequired(c.priority))
            continue;
        double v = c.constant;
        for (int i = c.termBegin, end = termEnd(id); i < end; ++i)
            v += terms_[i].coefficient * value(terms_[i].variable);
        double violation = c.relation == Relation::Equal             ? std::fabs(v)
                           : c.relation == Relation::LessThanOrEqual ? std::max(0.0, v)
                                                                     : std::max(0.0, -v);
        totals[c.priority] += violation;
    }
    return {totals.begin(), totals.end()};
}

} // namespace layout
