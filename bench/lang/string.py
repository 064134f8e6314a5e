"""A million appends to a string."""


def main():
    s = ""
    for i in range(1, 1_000_001):
        s += "ab"
    print(len(s), s[1999998:2000000])


main()
