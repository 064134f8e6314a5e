"""Calls of a function with two optional flags (refinements elsewhere)."""


def f(x, double=False, plus=None):
    if double:
        x = x * 2
    if plus is not None:
        x = x + plus
    return x


def main():
    s = 0
    for i in range(1, 500_001):
        s = s + f(1) + f(1, double=True) + f(1, plus=2) + f(1, double=True, plus=2)
    print(s)


main()
