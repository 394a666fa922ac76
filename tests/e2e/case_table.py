"""The table of end-to-end cases and the checks they share."""
import os
from collections import namedtuple

from runners import read

Case = namedtuple('Case', 'suite name runners fn')
CASES = []
BOTH = ('native', 'wine')


def case(suite, runners=BOTH):
    def register(fn):
        CASES.append(Case(suite, fn.__name__, runners, fn))
        return fn
    return register


def expect_equal(actual, expected, what='page'):
    if actual == expected:
        return
    n = next((i for i, (a, b) in enumerate(zip(actual, expected)) if a != b), min(len(actual), len(expected)))
    raise AssertionError(
        f'{what} differs at byte {n} (lengths {len(actual)} and {len(expected)}):\n'
        f'  got      {actual[max(0, n - 60):n + 60]!r}\n  expected {expected[max(0, n - 60):n + 60]!r}')


def expect_file(path, expected, what='page'):
    assert os.path.exists(path), f'{what} {path!r} was not written'
    expect_equal(read(path), expected, what)


def favorites_and_desktop(env):
    """Makes and sets the Favorites and Desktop folders; gives Favorites and the default page path."""
    fav = env.mkdir('fav')
    desk = env.mkdir('desk')
    env.set_folder('Favorites', fav)
    env.set_folder('Desktop', desk)
    return fav, os.path.join(desk, b'kobu.html')


def guarded_run(env, tail=b'', written=(), **kw):
    """Runs the program and checks that nothing but `written` changed in the sandbox."""
    before = env.snapshot()
    rc = env.run(tail, **kw)
    after = env.snapshot()
    for p in written:
        after.pop(p, None)
        before.pop(p, None)
    changed = sorted(p for p in set(before) | set(after) if before.get(p) != after.get(p))
    assert not changed, f'files changed or appeared: {changed[:5]}'
    return rc
