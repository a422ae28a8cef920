"""Prints the id of every whole-run test (module.Class.test), one a line, for CTest."""
import os
import sys
import unittest


def ids(suite):
    for item in suite:
        if isinstance(item, unittest.TestSuite):
            yield from ids(item)
        else:
            yield item.id()


here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
suite = unittest.TestLoader().discover(here, pattern="test_*.py")
broken = [test for test in ids(suite) if test.startswith("unittest.loader._FailedTest")]
if broken:
    sys.exit(f"cannot load: {', '.join(broken)}")
print("\n".join(ids(suite)))
