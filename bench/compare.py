#!/usr/bin/env python3
"""Whole-program benchmarks: kobu against the floor of what any program must
do for the same work (a copy of the text made durable; one pass over the
tree that reads every shortcut once and puts its list on the disk), and
against the tools people would use instead (ripgrep, grep -c).  Each
comparison runs the commands of one round back to back, alternating, and
reports the median ratio of the rounds.  Text mode is measured with every
output on the disk and again in memory, where the scan is what costs.

  compare.py BUILD_DIR [--rounds N]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
DATA = os.path.join(ROOT, 'build', 'benchdata')
# The address bytes: printable ASCII but for the delimiters "\'|*`^><}{)(
RG_PATTERN = r'(?-u)https?://[!#-&+-;=?-\[\]_a-z~]*'


class Command:
    """A command run without a shell where it can be, its output to a file
    (never /dev/null, which grep takes as leave to stop at the first match)."""

    def __init__(self, argv, out=None, env=None):
        self.argv, self.out, self.env = argv, out, env

    def run(self, argv=None):
        """Wall seconds."""
        argv = argv or self.argv
        out = os.open(self.out or os.devnull, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
        try:
            start = time.perf_counter()
            pid = os.posix_spawn(argv[0], argv, self.env or os.environ, file_actions=[(os.POSIX_SPAWN_DUP2, out, 1)])
            _, status = os.waitpid(pid, 0)
            seconds = time.perf_counter() - start
        finally:
            os.close(out)
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit(f'{argv} failed')
        return seconds

    def peak(self):
        """Peak resident kilobytes, from a run of its own under /usr/bin/time
        (a child of this process would count the interpreter's memory too)."""
        usage = os.path.join(DATA, 'usage.txt')
        self.run(['/usr/bin/time', '-q', '-f', '%M', '-o', usage] + self.argv)
        with open(usage) as f:
            return int(f.read().split()[-1])


def shell(script, env=None):
    return Command(['/bin/sh', '-c', script], env=env)


def compare(title, commands, rounds):
    """commands: name -> Command; the first is kobu.  The median ratio of
    kobu's time to each other's, and kobu's peak memory."""
    times = {name: [] for name in commands}
    peak = {name: command.peak() for name, command in commands.items()}  # the page cache warm for each
    for _ in range(rounds):
        for name, command in commands.items():
            # Each command starts with nothing of another's still being
            # written out, so that a copy left in the page cache by one is
            # not paid for by the next.
            os.sync()
            times[name].append(command.run())
    first = next(iter(commands))
    print(f'\n{title} ({rounds} rounds, median seconds; peak memory)')
    for name in commands:
        print(f'  {name:<10} {statistics.median(times[name]):8.4f} s   {peak[name] / 1024:7.1f} MB')
    ratios = {}
    for name in list(commands)[1:]:
        ratios[name] = statistics.median(a / b for a, b in zip(times[first], times[name]))
        print(f'  median ratio {first}/{name}: {ratios[name]:.2f}')
    return ratios, peak[first]


def which(program):
    for folder in os.environ.get('PATH', '').split(os.pathsep):
        path = os.path.join(folder, program)
        if os.access(path, os.X_OK):
            return path
    sys.exit(f'{program} not found')


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('build')
    ap.add_argument('--rounds', type=int, default=11)
    args = ap.parse_args()
    os.makedirs(DATA, exist_ok=True)
    kobu = os.path.join(os.path.abspath(args.build), 'kobu')
    gen = [sys.executable, os.path.join(HERE, 'gen_inputs.py')]
    # 64 MB each: dense mixed text, and the same Japanese prose in both encodings.
    texts = {
        'dense': ('Dense: mixed Shift_JIS and English text, an address in most lines', ['text']),
        'sparse-cp932': ('Sparse: Japanese prose in cp932, an address every 2 KB or so', ['prose', 'cp932']),
        'sparse-utf8': ('Sparse: the same prose in UTF-8', ['prose', 'utf-8']),
    }
    for name, (_, kind) in texts.items():
        path = os.path.join(DATA, name + '.txt')
        if not os.path.exists(path):
            subprocess.run(gen + [kind[0], path, '64'] + kind[1:], check=True)
    tree = os.path.join(DATA, 'tree')
    if not os.path.exists(tree):
        subprocess.run(gen + ['tree', tree, '10000', '100000'], check=True)
    config = os.path.join(DATA, 'config')
    os.makedirs(config, exist_ok=True)
    with open(os.path.join(config, 'user-dirs.dirs'), 'w') as f:
        f.write(f'XDG_FAVORITES_DIR="{tree}"\nXDG_DESKTOP_DIR="{DATA}"\n')
    env = dict(os.environ, XDG_CONFIG_HOME=config)
    env.pop('KOBU_OPEN', None)
    # grep and rg match bytes: the C locale, their fastest.
    tool_env = dict(os.environ, LC_ALL='C')
    rg, grep = which('rg'), which('grep')

    # Text mode twice: every output on the disk, and every output in memory
    # (tmpfs), where putting a file on the disk costs nothing, as on a disk
    # whose fsync is fast: there the scan is what is measured.
    memory = '/dev/shm' if os.path.isdir('/dev/shm') else None
    places = {'disk': DATA}
    if memory:
        places['memory'] = os.path.join(memory, f'kobu-bench-{os.getpid()}')
        os.makedirs(places['memory'])
    text_ratios, text_peak = {place: {} for place in places}, 0
    try:
        for place, out in places.items():
            for name, (title, _) in texts.items():
                text = os.path.join(DATA, name + '.txt')
                copy = os.path.join(out, 'copy.txt')
                ratios, peak = compare(f"{title}; outputs {'in memory' if place == 'memory' else 'on the disk'}", {
                    'kobu': Command([kobu, '-o', os.path.join(out, name + '.txt.html'), text], env=env),
                    'durable': shell(f"cat '{text}' > '{copy}' && sync '{copy}'"),
                    'rg': Command([rg, '-j1', '-a', '-o', '--no-filename', '--no-line-number', RG_PATTERN, text],
                                  out=os.path.join(out, 'rg.out'), env=tool_env),
                    'grep -c': Command([grep, '-c', '-a', 'http', text], out=os.path.join(out, 'grep.out'),
                                       env=tool_env),
                }, args.rounds)
                text_ratios[place][name] = ratios
                text_peak = max(text_peak, peak)
    finally:
        if memory:
            shutil.rmtree(places['memory'])

    floor = os.path.join(os.path.abspath(args.build), 'bench', 'folder_floor')
    tree_ratios, tree_peak = compare('Folder mode, 10,000 folders and 100,000 shortcuts', {
        'kobu': Command([kobu], env=env),
        'floor': Command([floor, tree, os.path.join(DATA, 'floor.out')]),
        'find+cat': shell(f"find '{tree}' -name '*.url' -exec cat {{}} + > /dev/null"),
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
    deep_peak = Command([kobu], env=dict(env, XDG_CONFIG_HOME=deep_config)).peak()
    print(f'\nFolder mode on a tree as deep as paths allow: peak memory {deep_peak / 1024:.1f} MB')

    exe = os.path.join(ROOT, 'build', 'win32', 'kobu.exe')
    exe_size = os.path.getsize(exe) if os.path.exists(exe) else None
    # The scan against the tools where the scan is what costs; the page
    # against the durable copy where the disk is.
    scan = text_ratios.get('memory', text_ratios['disk'])
    scan_place = 'memory' if 'memory' in text_ratios else 'disk'
    dense, cp932, utf8 = scan['dense'], scan['sparse-cp932'], scan['sparse-utf8']
    targets = [
        (f'dense text: kobu/rg at most 0.4 ({scan_place})', dense['rg'] <= 0.4, f"{dense['rg']:.2f}"),
        # A page is on the disk when it replaces the old one: the floor is a copy made as durable.
        *((f'dense text: kobu/durable copy at most 1.2 ({place})', text_ratios[place]['dense']['durable'] <= 1.2,
           f"{text_ratios[place]['dense']['durable']:.2f}") for place in places),
        (f'sparse cp932: kobu/rg at most 0.6 ({scan_place})', cp932['rg'] <= 0.6, f"{cp932['rg']:.2f}"),
        (f'sparse cp932: kobu/grep -c at most 1.5 ({scan_place})', cp932['grep -c'] <= 1.5,
         f"{cp932['grep -c']:.2f}"),
        (f'sparse UTF-8: kobu/rg at most 0.6 ({scan_place})', utf8['rg'] <= 0.6, f"{utf8['rg']:.2f}"),
        (f'sparse UTF-8: kobu/grep -c at most 1.5 ({scan_place})', utf8['grep -c'] <= 1.5,
         f"{utf8['grep -c']:.2f}"),
        ('folder mode: the page lists all 100,000 shortcuts', listed == 100000, f'{listed}'),
        ('folder mode: kobu/durable floor at most 1.2', tree_ratios['floor'] <= 1.2, f"{tree_ratios['floor']:.2f}"),
        ('peak memory under 4 MB on the benchmark inputs', max(text_peak, tree_peak) < 4096,
         f'text {text_peak / 1024:.1f} MB, folders {tree_peak / 1024:.1f} MB'),
        ('peak memory at most 8 MB on the deepest tree', deep_peak <= 8192, f'{deep_peak / 1024:.1f} MB'),
        ('Windows program at most 48 KB', exe_size is not None and exe_size <= 49152,
         f'{exe_size} bytes' if exe_size else 'not built'),
    ]
    print('\nText mode, median ratios (outputs on the disk | in memory)')
    for name in texts:
        row = '   '.join(' | '.join(f"{text_ratios[place][name][tool]:.2f}" for place in places)
                         for tool in ('rg', 'durable', 'grep -c'))
        print(f'  {name:<13} kobu/rg, kobu/durable, kobu/grep -c: {row}')
    print('\nTargets')
    for name, ok, value in targets:
        print(f"  {'met ' if ok else 'MISSED'}  {name}: {value}")
    return 0 if all(ok for _, ok, _ in targets) else 1


if __name__ == '__main__':
    sys.exit(main())
