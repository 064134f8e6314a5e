"""A nested loop building a list of a million integers."""


def main():
    b = []
    for i in range(1, 1001):
        for j in range(1, 1001):
            b.append(i + j)
    print(len(b), b[0], b[999], b[-1])


main()
