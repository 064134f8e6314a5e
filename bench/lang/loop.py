"""A counting loop to 10 million with an addition."""


def main():
    s = 0
    for i in range(1, 10_000_001):
        s = s + 3
    print(s)


main()
