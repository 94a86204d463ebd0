// Compares the solver with the frozen copy on random systems: statuses, conflict lists, values
// and objectives must match exactly (values within 1e-9).
#include "SolverReferenceCopy.h"

#include "platform/layout/Solver.h"

#include <gtest/gtest.h>

#include <random>

namespace {

template <typename A, typename B> void expectSame(A& a, B& b, int nvars, int k, int step) {
    a.solve();
    b.solve();
    for (int v = 0; v < nvars; ++v)
        ASSERT_NEAR(a.value(layout::Variable{v}), b.value(layout::Variable{v}), 1e-9)
            << "system " << k << " step " << step << " var " << v;
    auto oa = a.objective(), ob = b.objective();
    ASSERT_EQ(oa.size(), ob.size()) << k;
    for (std::size_t l = 0; l < oa.size(); ++l) {
        ASSERT_EQ(oa[l].first, ob[l].first) << k;
        ASSERT_NEAR(oa[l].second, ob[l].second, 1e-9) << k;
    }
}

void runRandom(unsigned seed, int systems, int maxVars, int maxSteps) {
    const double priorities[5] = {1000, 999, 750, 250, 1000};
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> small(0, 60), coin(0, 1), relation(0, 2), priority(0, 4), op(0, 19);
    for (int k = 0; k < systems; ++k) {
        layout::Solver a;
        layout_reference::Solver b;
        int n = 1 + static_cast<int>(rng() % static_cast<unsigned>(maxVars));
        std::vector<layout::Variable> vars;
        for (int i = 0; i < n; ++i) {
            vars.push_back(a.addVariable());
            ASSERT_EQ(b.addVariable().id, vars.back().id);
        }
        std::uniform_int_distribution<int> pick(0, n - 1);
        std::vector<int> ids;
        int steps = 1 + static_cast<int>(rng() % static_cast<unsigned>(maxSteps));
        for (int step = 0; step < steps; ++step) {
            int o = op(rng);
            if (o < 11 || ids.empty()) {
                layout::Expression e;
                int terms = 1 + small(rng) % 4;
                for (int t = 0; t < terms; ++t)
                    e.terms.push_back({vars[pick(rng)], (small(rng) % 7 - 3) / (1.0 + coin(rng))});
                e.constant = -small(rng) * (coin(rng) ? 1.0 : 0.5);
                auto r = static_cast<layout::Relation>(relation(rng) - 1);
                double p = priorities[priority(rng)];
                auto sa = a.addConstraint(e, r, p);
                auto sb = b.addConstraint(e, r, p);
                ASSERT_EQ(sa.id, sb.id);
                ASSERT_EQ(sa.conflicting, sb.conflicting) << "system " << k << " step " << step;
                ids.push_back(sa.id);
            } else if (o < 13) {
                int v = pick(rng);
                double value = small(rng) * 3.0;
                double p = coin(rng) ? 999 : 500;
                ASSERT_EQ(a.addEditVariable(vars[v], p, value), b.addEditVariable(vars[v], p, value));
            } else if (o < 17) {
                int id = ids[rng() % ids.size()];
                double constant = -small(rng) * (coin(rng) ? 1.0 : 5.0);
                auto sa = a.setConstant(id, constant);
                auto sb = b.setConstant(id, constant);
                ASSERT_EQ(sa.conflicting, sb.conflicting) << "system " << k << " step " << step;
            } else {
                std::size_t at = rng() % ids.size();
                ASSERT_EQ(a.removeConstraint(ids[at]), b.removeConstraint(ids[at]));
                ids.erase(ids.begin() + static_cast<long>(at));
            }
            if (coin(rng))
                expectSame(a, b, n, k, step);
        }
        expectSame(a, b, n, k, steps);
        if (k % 7 == 0) {
            a.reset();
            b.reset();
        }
    }
}

} // namespace

TEST(SolverReferenceCompareTest, SmallSystems) {
    runRandom(1, 3000, 6, 30);
}

TEST(SolverReferenceCompareTest, LargerSystems) {
    runRandom(2, 300, 40, 200);
}

TEST(SolverReferenceCompareTest, Stacks) {
    for (int n : {1, 2, 10, 300}) {
        layout::Solver a;
        layout_reference::Solver b;
        layout::Variable top, height;
        std::vector<int> ids;
        for (int i = 0; i < n; ++i) {
            layout::Variable t = a.addVariable(), h = a.addVariable();
            (void)b.addVariable();
            (void)b.addVariable();
            using R = layout::Relation;
            auto add = [&](layout::Expression e, R r, double p) {
                auto sa = a.addConstraint(e, r, p);
                auto sb = b.addConstraint(e, r, p);
                ASSERT_EQ(sa.conflicting, sb.conflicting);
                ids.push_back(sa.id);
            };
            add({{{h, 1}}, 0}, R::GreaterThanOrEqual, 1000);
            add({{{h, 1}}, -44}, R::LessThanOrEqual, 250);
            add({{{h, 1}}, -44}, R::GreaterThanOrEqual, 750);
            if (i == 0)
                add({{{t, 1}}, -8}, R::Equal, 1000);
            else
                add({{{t, 1}, {top, -1}, {height, -1}}, -8}, R::Equal, 1000);
            top = t;
            height = h;
        }
        auto sa = a.addConstraint({{{top, 1}, {height, 1}}, -100.0 - n * 40}, layout::Relation::Equal, 1000);
        auto sb = b.addConstraint({{{top, 1}, {height, 1}}, -100.0 - n * 40}, layout::Relation::Equal, 1000);
        ASSERT_EQ(sa.conflicting, sb.conflicting);
        expectSame(a, b, 2 * n, n, 0);
        for (int i = 0; i < 20 && !ids.empty(); ++i) {
            int id = ids[(i * 7919) % ids.size()];
            if (i % 3 == 0) {
                ASSERT_EQ(a.removeConstraint(id), b.removeConstraint(id));
            } else {
                ASSERT_EQ(a.setConstant(id, -i * 3.0).conflicting, b.setConstant(id, -i * 3.0).conflicting);
            }
            expectSame(a, b, 2 * n, n, i + 1);
        }
    }
}
