#include "platform/layout/Solver.h"

#include "platform/layout/SolverImpl.h"

namespace layout {

Solver::Solver() : impl_(std::make_unique<SolverImpl>()) {}
Solver::~Solver() = default;

Variable Solver::addVariable() {
    return impl_->addVariable();
}

SolverStatus Solver::addConstraint(const Expression& expression, Relation relation, double priority) {
    return impl_->addConstraint(expression, relation, priority);
}

bool Solver::removeConstraint(int id) {
    return impl_->removeConstraint(id);
}

SolverStatus Solver::setConstant(int id, double constant) {
    return impl_->setConstant(id, constant);
}

bool Solver::hasConstraint(int id) const {
    return impl_->hasConstraint(id);
}

int Solver::addEditVariable(Variable variable, double priority, double value) {
    // Edits are preferred by nature: a required edit could make suggestions fail.
    double p = priority >= kRequiredPriority ? kRequiredPriority - 1 : priority;
    return impl_->addConstraint({{{variable, 1}}, -value}, Relation::Equal, p).id;
}

void Solver::solve() {
    impl_->solve();
}

double Solver::value(Variable variable) const {
    return impl_->value(variable);
}

std::vector<std::pair<double, double>> Solver::objective() const {
    return impl_->objective();
}

void Solver::reset() {
    impl_->reset();
}

} // namespace layout
