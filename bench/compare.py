#!/usr/bin/env python3
"""Whole-program benchmarks: kobu against the floor of what any program must
do for the same work (a copy of the text made durable; one pass over the
tree that reads every shortcut once), and against the tools people would use instead.  Each comparison runs the
commands of one round back to back, alternating, and reports the median ratio.

  compare.py BUILD_DIR [--rounds N]
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
# The address bytes: printable ASCII but for the delimiters "\'|*`^><}{)(
RG_PATTERN = r'(?-u)https?://[!#-&+-;=?-\[\]_a-z~]*'


def timed(argv, shell=False, env=None):
    """Wall seconds and peak resident kilobytes of one command."""
    usage = os.path.join(DATA, 'usage.txt')
    cmd = ['/usr/bin/time', '-q', '-f', '%M', '-o', usage] + (['sh', '-c', argv] if shell else argv)
    start = time.perf_counter()
    subprocess.run(cmd, check=True, env=env, stdout=subprocess.DEVNULL)
    seconds = time.perf_counter() - start
    with open(usage) as f:
        return seconds, int(f.read().split()[-1])


def compare(title, commands, rounds):
    """commands: name -> (argv, shell, env); the first is kobu."""
    times = {name: [] for name in commands}
    peak = {name: 0 for name in commands}
    for name, (argv, shell, env) in commands.items():  # warm the page cache
        timed(argv, shell, env)
    for _ in range(rounds):
        for name, (argv, shell, env) in commands.items():
            # Each command starts with nothing of another's still being
            # written out, so that a copy left in the page cache by one is
            # not paid for by the next.
            os.sync()
            s, kb = timed(argv, shell, env)
            times[name].append(s)
            peak[name] = max(peak[name], kb)
    first = next(iter(commands))
    print(f'\n{title} ({rounds} rounds, median seconds; peak memory)')
    for name in commands:
        print(f'  {name:<10} {statistics.median(times[name]):8.3f} s   {peak[name] / 1024:7.1f} MB')
    ratios = {}
    for name in list(commands)[1:]:
        ratios[name] = statistics.median(a / b for a, b in zip(times[first], times[name]))
        print(f'  median ratio {first}/{name}: {ratios[name]:.2f}')
    return ratios, peak[first]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('build')
    ap.add_argument('--rounds', type=int, default=11)
    args = ap.parse_args()
    global DATA
    DATA = os.path.join(ROOT, 'build', 'benchdata')
    os.makedirs(DATA, exist_ok=True)
    kobu = os.path.join(os.path.abspath(args.build), 'kobu')
    text = os.path.join(DATA, 'text.txt')
    tree = os.path.join(DATA, 'tree')
    gen = [sys.executable, os.path.join(HERE, 'gen_inputs.py')]
    if not os.path.exists(text):
        subprocess.run(gen + ['text', text, '256'], check=True)
    if not os.path.exists(tree):
        subprocess.run(gen + ['tree', tree, '10000', '100000'], check=True)
    config = os.path.join(DATA, 'config')
    os.makedirs(config, exist_ok=True)
    with open(os.path.join(config, 'user-dirs.dirs'), 'w') as f:
        f.write(f'XDG_FAVORITES_DIR="{tree}"\nXDG_DESKTOP_DIR="{DATA}"\n')
    env = dict(os.environ, XDG_CONFIG_HOME=config)
    env.pop('KOBU_OPEN', None)

    floor = os.path.join(os.path.abspath(args.build), 'bench', 'folder_floor')
    text_ratios, text_peak = compare('Text mode, 256 MB of Shift_JIS text', {
        'kobu': ([kobu, text], False, env),
        'durable': (f"cat '{text}' > '{DATA}/copy.txt' && sync '{DATA}/copy.txt'", True, env),
        'cat': (f"cat '{text}' > '{DATA}/copy.txt'", True, env),
        'rg': (f"rg -j1 -a -o --no-filename --no-line-number '{RG_PATTERN}' '{text}' > '{DATA}/rg.out'", True, env),
    }, args.rounds)
    tree_ratios, tree_peak = compare('Folder mode, 10,000 folders and 100,000 shortcuts', {
        'kobu': ([kobu], False, env),
        'floor': ([floor, tree, os.path.join(DATA, 'floor.out')], False, env),
        'find+cat': (f"find '{tree}' -name '*.url' -exec cat {{}} + > /dev/null", True, env),
    }, args.rounds)
    # The comparison is fair only when the page lists every shortcut.
    with open(os.path.join(DATA, 'kobu.html'), 'rb') as f:
        listed = f.read().count(b'<li>')

    # Peak memory on a tree as deep as paths allow.
    deep = os.path.join(DATA, 'deep')
    if not os.path.exists(deep):
        subprocess.run(gen + ['deep', deep], check=True)
    deep_config = os.path.join(DATA, 'deep-config')
    os.makedirs(deep_config, exist_ok=True)
    with open(os.path.join(deep_config, 'user-dirs.dirs'), 'w') as f:
        f.write(f'XDG_FAVORITES_DIR="{deep}"\nXDG_DESKTOP_DIR="{DATA}/deep-page"\n')
    os.makedirs(os.path.join(DATA, 'deep-page'), exist_ok=True)
    _, deep_peak = timed([kobu], env=dict(env, XDG_CONFIG_HOME=deep_config))
    print(f'\nFolder mode on a tree as deep as paths allow: peak memory {deep_peak / 1024:.1f} MB')

    exe = os.path.join(ROOT, 'build', 'win32', 'kobu.exe')
    exe_size = os.path.getsize(exe) if os.path.exists(exe) else None
    targets = [
        ('folder mode: the page lists all 100,000 shortcuts', listed == 100000, f'{listed}'),
        ('folder mode: kobu/floor at most 1.2', tree_ratios['floor'] <= 1.2, f"{tree_ratios['floor']:.2f}"),
        # A page is on the disk when it replaces the old one: the floor is a copy made as durable.
        ('text mode: kobu/durable copy at most 1.2', text_ratios['durable'] <= 1.2,
         f"{text_ratios['durable']:.2f} (kobu/cat {text_ratios['cat']:.2f})"),
        ('text mode: kobu/rg at most 0.5', text_ratios['rg'] <= 0.5, f"{text_ratios['rg']:.2f}"),
        ('peak memory at most 4 MB on the benchmark inputs', max(text_peak, tree_peak) <= 4096,
         f'text {text_peak / 1024:.1f} MB, folders {tree_peak / 1024:.1f} MB'),
        ('peak memory at most 8 MB on the deepest tree', deep_peak <= 8192, f'{deep_peak / 1024:.1f} MB'),
        ('Windows program at most 48 KB', exe_size is not None and exe_size <= 49152,
         f'{exe_size} bytes' if exe_size else 'not built'),
    ]
    print('\nTargets')
    for name, ok, value in targets:
        print(f"  {'met ' if ok else 'MISSED'}  {name}: {value}")
    return 0 if all(ok for _, ok, _ in targets) else 1


if __name__ == '__main__':
    sys.exit(main())
