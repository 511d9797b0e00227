"""Which built executables the static checks read."""


def pytest_addoption(parser):
    parser.addoption("--i686", required=True, help="the i686 pellumin.exe")
    parser.addoption("--x86_64", required=True, help="the x86_64 pellumin.exe")
