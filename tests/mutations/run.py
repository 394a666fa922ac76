#!/usr/bin/env python3
"""Mutation check: applies one small fault at a time to the program's
sources, rebuilds the unit tests in a build folder of their own and reports
which tests fail.  Every mutation must fail at least one unit test.

  run.py [BUILD_DIR]        (default build/mutations)
"""
import os
import re
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# (name, file, text as it is, faulty text)
MUTATIONS = [
    ('folder writer keeps a trailing separator', 'favorites/favorites_page.cpp',
     'if (last != nullptr && last + 1 == folder + base.size()) base.remove_suffix(1);', ''),
    ('links page ignores a read error', 'links/links_page.cpp',
     'written = !reader.failed() && page.commit();', 'written = page.commit();'),
    ('run goes on without the program path', 'app/app_main.cpp',
     'if (!locate_program(program)) return refuse(', 'if (!locate_program(program) && false) return refuse('),
    ('concat_text lays its parts from the front', 'platform/bytes.h',
     '''    std::size_t end = total;
    dst[end] = '\\0';
    const std::string_view* first = parts.begin();
    for (const std::string_view* p = parts.end(); p != first;) {
        --p;
        end -= p->size();
        if (!p->empty()) std::memmove(dst + end, p->data(), p->size());
    }''',
     '''    std::size_t at = 0;
    for (std::string_view p : parts) {
        if (!p.empty()) std::memmove(dst + at, p.data(), p.size());
        at += p.size();
    }
    dst[at] = '\\0';'''),
    ('folder writer enters a folder met again', 'favorites/favorites_page.cpp',
     'if (known ? !entered.enter(id) : through_link) {', 'if (false) {'),
    ('a page may replace a file the run reads', 'platform/read_guard.cpp',
     'if (kept[i] == id) return false;', 'if (kept[i] == id) break;'),
    ('a shortcut read while its page is written goes unnoticed', 'platform/read_guard.cpp',
     'page_read = page_read || id == page;', ''),
    ('a page may replace the program', 'platform/page_file.cpp',
     'if (place.identity == program[i]) return refuse', 'if (false) return refuse'),
    ('a page is written in place', 'platform/page_file.cpp',
     '{beside ? folder : name, ".kobu-", std::string_view(hex, sizeof hex), ".tmp"}', '{name}'),
    ('a text input is read past its size when opened', 'links/links_page.cpp',
     'LineReader reader(in, storage, sizeof storage, platform::file_size(in));',
     'LineReader reader(in, storage, sizeof storage);'),
    ('Ctrl is ignored', 'app/app_main.cpp', 'if ((open_after || options.open) && page != nullptr)',
     'if (options.open && page != nullptr)'),
    ('folder writer enters ".."', 'favorites/favorites_page.cpp',
     'std::strcmp(entry.name, ".") == 0 || std::strcmp(entry.name, "..") == 0',
     'std::strcmp(entry.name, ".") == 0'),
]


def run(cmd, **kw):
    return subprocess.run(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, errors='replace', **kw)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, 'build', 'mutations'))
    r = run(['cmake', '-S', '.', '-B', build, '-DKOBU_TESTS=ON', '-DCMAKE_BUILD_TYPE=Debug'])
    if r.returncode != 0:
        print(r.stdout)
        return 1
    survivors = 0
    for name, path, original, faulty in MUTATIONS:
        full = os.path.join(ROOT, path)
        with open(full) as f:
            text = f.read()
        if text.count(original) != 1:
            print(f'STALE  {name}: the text to mutate is not in {path} exactly once')
            survivors += 1
            continue
        shutil.copy(full, full + '.orig')
        try:
            with open(full, 'w') as f:
                f.write(text.replace(original, faulty))
            b = run(['cmake', '--build', build, '--target', 'kobu_unit_tests', '-j2'])
            if b.returncode != 0:
                print(f'BUILD  {name}: does not compile\n{b.stdout[-2000:]}')
                survivors += 1
                continue
            try:
                t = run([os.path.join(build, 'tests', 'kobu_unit_tests')], timeout=60)
                failed = sorted(set(re.findall(r'^\[  FAILED  \] (\w+\.\w+)', t.stdout, re.M)))
            except subprocess.TimeoutExpired:
                failed = ['(the unit tests no longer end)']
            if failed:
                print(f'killed {name}: {", ".join(failed)}')
            else:
                print(f'LIVES  {name}')
                survivors += 1
        finally:
            shutil.move(full + '.orig', full)
            os.utime(full)  # newer than the faulty build, so the next build takes it
    run(['cmake', '--build', build, '--target', 'kobu_unit_tests', '-j2'])
    print(f'{len(MUTATIONS) - survivors} of {len(MUTATIONS)} mutations killed')
    return 1 if survivors else 0


if __name__ == '__main__':
    sys.exit(main())
