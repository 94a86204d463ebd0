"""Solves the systems that SolverTest writes with kiwisolver and prints one line of values per system.

Input, one system per block: "system N", then "var" lines are implied by N, then
"c <op> <strength> <constant> <var:coef>..." lines, then "end". Output: "values v0 v1 ..." per system.
"""
import sys

import kiwisolver as kiwi

STRENGTHS = {"required": kiwi.strength.required}


def main():
    out = []
    solver = None
    variables = []
    for line in open(sys.argv[1]):
        parts = line.split()
        if not parts:
            continue
        if parts[0] == "system":
            solver = kiwi.Solver()
            variables = [kiwi.Variable("v%d" % i) for i in range(int(parts[1]))]
        elif parts[0] == "c":
            op, strength, constant = parts[1], parts[2], float(parts[3])
            expr = constant
            for term in parts[4:]:
                index, coefficient = term.split(":")
                expr = expr + float(coefficient) * variables[int(index)]
            strength = STRENGTHS.get(strength, None) or float(strength)
            if op == "==":
                solver.addConstraint((expr == 0) | strength)
            elif op == "<=":
                solver.addConstraint((expr <= 0) | strength)
            else:
                solver.addConstraint((expr >= 0) | strength)
        elif parts[0] == "end":
            solver.updateVariables()
            out.append("values " + " ".join(repr(v.value()) for v in variables))
    print("\n".join(out))


main()
