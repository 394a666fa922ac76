"""The table of end-to-end cases and the checks they share."""
import os
from collections import namedtuple

from pages import favorites_page, read_shortcut, section, shortcut_item  # noqa: F401

Case = namedtuple('Case', 'suite name runners fn')
CASES = []
BOTH = ('native', 'wine')


def case(suite, runners=BOTH):
    def register(fn):
        CASES.append(Case(suite, fn.__name__, runners, fn))
        return fn
    return register


def read(path):
    with open(path, 'rb') as f:
        return f.read()


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


PATH_BUFFER = 260


def tree_body(env, host_dir, prog_dir, ids=()):
    """The body the folder-tree writer gives for `host_dir`, predicted from the disk."""
    try:
        st = os.stat(host_dir)
        key = (st.st_dev, st.st_ino)
    except OSError:
        key = None
    if key is not None and key in ids:
        return b'</div>\n'
    ids = ids + ((key,) if key else ())
    sep = env.sep
    base = prog_dir[:-1] if prog_dir.endswith(sep) and env.runner.ends_in_separator(prog_dir) else prog_dir
    folder_fits = len(base) + 2 < PATH_BUFFER
    shortcut_fits = len(base) + 6 < PATH_BUFFER
    try:
        entries = env.runner.list_dir(host_dir)
    except OSError:
        entries = []
    out = b''
    if shortcut_fits:
        shortcuts = [e for e in entries if e[0].lower().endswith(b'.url')]
        if shortcuts:
            out += b'<ul>\n'
            for name, path, is_dir in shortcuts:
                if is_dir or len(prog_dir) + 1 + len(name) >= PATH_BUFFER:
                    continue
                out += shortcut_item(read_shortcut(path), name[:-4])
            out += b'</ul>\n'
    if folder_fits:
        for name, path, is_dir in entries:
            if not is_dir or name in (b'.', b'..') or len(prog_dir) + 1 + len(name) >= PATH_BUFFER:
                continue
            out += section(name) + tree_body(env, path, prog_dir + sep + name, ids)
    return out + b'</div>\n'


def expected_favorites(env, host_root, root_seen=None):
    """The whole favorites page for a listing root, predicted from the disk."""
    seen = env.prog(host_root) if root_seen is None else root_seen
    return favorites_page(seen, tree_body(env, host_root, seen))
