#!/usr/bin/env python3
"""End-to-end suite: runs the built program on sandboxes and compares the
page bytes with what the page formats give.

  run_e2e.py --runner native --program build/native/kobu
  run_e2e.py --runner wine --program build/win32/kobu.exe --helper build/win32/wine_helper.exe \
             --wine-prefix build/wine/prefix [--wine-route win64]
"""
import argparse
import fnmatch
import os
import sys
import tempfile
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from runners import RUNNERS, Env, remove_tree  # noqa: E402
import cases_favorites  # noqa: E402,F401  (registers cases)
import cases_text  # noqa: E402,F401
import cases_hostile  # noqa: E402,F401
import cases_browser  # noqa: E402,F401
import cases_safety  # noqa: E402,F401
import cases_options  # noqa: E402,F401
import cases_versions  # noqa: E402,F401
import cases_windows  # noqa: E402,F401
from case_table import CASES  # noqa: E402


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--runner', choices=sorted(RUNNERS), required=True)
    ap.add_argument('--program', required=True)
    ap.add_argument('--helper')
    ap.add_argument('--wine-prefix')
    ap.add_argument('--wine-route', choices=('win32', 'win64'), default='win32',
                    help='win32: the shipped program; win64: its 64-bit build, where 32-bit programs cannot run')
    ap.add_argument('--suite', help='only cases of this suite (favorites, text, hostile, browser, safety, versions, windows)')
    ap.add_argument('-k', dest='pattern', default='*', help='only cases whose name matches this glob')
    args = ap.parse_args()

    runner = RUNNERS[args.runner](args.program, helper=args.helper, wine_prefix=args.wine_prefix,
                                  wine_route=args.wine_route)
    selected = [c for c in CASES if runner.name in c.runners and fnmatch.fnmatch(c.name, args.pattern)
                and (args.suite is None or c.suite == args.suite)]
    passed = failed = 0
    runner.start()
    try:
        for c in selected:
            root = tempfile.mkdtemp(prefix='kobu-e2e-').encode()
            env = None
            try:
                env = Env(runner, root)
                c.fn(env)
                passed += 1
                print(f'ok     {c.suite}/{c.name}')
            except Exception:  # noqa: BLE001 - every failure is reported the same way
                failed += 1
                print(f'FAILED {c.suite}/{c.name}')
                print('       ' + traceback.format_exc().replace('\n', '\n       '))
            finally:
                for cleanup in (env.cleanups if env else []):
                    cleanup()
                remove_tree(root)
    finally:
        runner.stop()
    print(f'{runner.name}: {passed} passed, {failed} failed')
    if not selected:
        print('no case selected')
        return 1
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
