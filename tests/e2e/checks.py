"""One line per check, and the closing count the test runners read."""

import sys


class Checks:
    def __init__(self):
        self.passed = self.failed = 0

    def check(self, name, ok, detail=""):
        if ok:
            self.passed += 1
            print(f"PASS {name}")
        else:
            self.failed += 1
            print(f"FAIL {name}" + (f": {detail}" if detail else ""))
        sys.stdout.flush()
        return ok

    def finish(self):
        """Prints 'N passed, M failed' alone on a line; the exit code to return."""
        print(f"{self.passed} passed, {self.failed} failed")
        return 1 if self.failed or not self.passed else 0
