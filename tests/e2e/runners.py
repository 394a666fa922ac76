"""Two ways of running the program in a sandbox with the same cases: the
native POSIX program, and the Windows program under Wine in code page 932.

Case code speaks in host paths (bytes) and in what the program sees of them
(`env.prog(path)`); each runner maps one to the other, sets the shell
folders (xdg user-dirs file or registry) and starts the program with an exact
argument tail."""

import hashlib
import os
import re
import shutil
import stat
import subprocess
import tempfile
import time

SHELL_FOLDERS = ('Desktop', 'Favorites')
WINDOWS_VERSIONS = {'5.1': 'winxp', '6.0': 'vista', '6.1': 'win7', '6.2': 'win8', '6.3': 'win81', '10.0': 'win10'}
XDG_NAMES = {'Desktop': b'XDG_DESKTOP_DIR', 'Favorites': b'XDG_FAVORITES_DIR'}


class Raw(bytes):
    """A shell-folder value given exactly as the program should read it."""


class Wide(str):
    """A shell-folder value (Wine) or an argument tail set as Unicode text: it may hold what the code page cannot."""


class Env:
    """One sandbox: a temporary folder with the program, its configuration,
    a home, a working folder and whatever trees a case makes."""

    def __init__(self, runner, root):
        self.runner = runner
        self.root = root
        self.folders = {'Desktop': None, 'Favorites': None}
        self.user_dirs_text = None  # native: exactly this user-dirs file instead of the folders
        self.environment = {}       # native: variables to set (None: to remove) for the program
        self.output = b''           # native: what the last run wrote to its standard output and error
        self.cleanups = []          # to call before the sandbox is removed
        for d in (b'bin', b'home', b'config', b'cwd', b'fakebin'):
            os.makedirs(os.path.join(root, d))
        self.program = runner.install(self)

    # -- paths ----------------------------------------------------------
    def host(self, *parts):
        """A host path below the sandbox; str parts take the runner's file-name encoding."""
        p = self.root
        for part in parts:
            p = os.path.join(p, part if isinstance(part, bytes) else part.encode(self.runner.fs_encoding))
        return p

    def prog(self, host_path):
        return self.runner.prog(host_path)

    @property
    def sep(self):
        return self.runner.sep

    def mkdir(self, *parts):
        p = self.host(*parts)
        os.makedirs(p, exist_ok=True)
        return p

    def write(self, *parts_and_data):
        *parts, data = parts_and_data
        p = self.host(*parts)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, 'wb') as f:
            f.write(data)
        return p

    def config(self, text):
        """Writes kobu.txt beside the program."""
        self.write(b'bin', b'kobu.txt', text)

    def set_folder(self, name, value):
        """None: absent; a host path; Raw(bytes): exactly that value."""
        self.folders[name] = value

    def folder_value(self, name):
        v = self.folders[name]
        if v is None or isinstance(v, (Raw, Wide)):
            return v
        return self.prog(v)

    def run(self, tail=b'', ctrl=False, cwd=None, stop_after=None, stdout=None, stop_signal='INT', child=None,
            through=()):
        """The exit code, or None when the run was stopped after `stop_after` seconds (a user stopping
        it, with `stop_signal`).  `tail`: a list gives separate arguments (native); `stdout`: a file for
        the program's standard output (native only; otherwise it goes to `output`, with standard error);
        `child`: called in the new process before the program starts (native: limits, signals);
        `through`: the command that starts the program (native: the dynamic loader, unshare)."""
        return self.runner.run(self, tail, ctrl, cwd or self.host(b'cwd'), stop_after, stdout, stop_signal, child,
                               through)

    def start(self, tail=b''):
        """Starts a run in the background (native only): a handle for finish()."""
        return self.runner.spawn(self, tail, self.host(b'cwd'))

    def finish(self, started):
        return self.runner.finish(started)

    def opened(self, wait=True):
        """The paths the shell was asked to open (native only)."""
        return self.runner.opened(self, wait)

    # -- what the system under test shows of the sandbox ----------------
    @property
    def system(self):
        """'native' or 'wine'."""
        return self.runner.name

    def list_dir(self, host_dir):
        """(name as the program sees it, host path, is folder) in the order a folder search returns them."""
        return self.runner.list_dir(host_dir)

    def shown_path(self, host_path):
        """A host path as a browser shows it on the pages (the program's own form of it, in Unicode)."""
        return self.runner.shown_path(self, host_path)

    def shown_name(self, host_path):
        """The last component of a host path as a browser shows it on the pages."""
        return self.runner.shown_path(self, host_path).rsplit(self.sep.decode(), 1)[-1]

    def ends_in_separator(self, path):
        return self.runner.ends_in_separator(path)

    def windows_directory(self):
        return self.runner.windows_directory(self)

    def windows_version(self):
        """The Windows version the system reports, as winecfg names it ('winxp', 'win7', ...; Wine only)."""
        return self.runner.windows_version()

    def windows_versions(self):
        """The winecfg names of Windows XP, 7 and 10 for this Wine (XP is 'winxp64' on 64-bit Wine)."""
        return self.runner.versions

    def set_windows_version(self, name):
        """Sets the Windows version of the whole prefix, as `winecfg -v NAME` (Wine only)."""
        self.runner.set_windows_version(name)

    def windows_favorites(self):
        """The folder listed without a Favorites value: (host path, as the program names it)."""
        return self.runner.windows_favorites(self)

    def short_path(self, host_path):
        """The 8.3 form of a host path, as the program would be given it (Wine only)."""
        return self.runner.short_path(self, host_path)

    def wide_path(self, host_path):
        """A host path as the program would be given it in Unicode (Wine only)."""
        return Wide(self.runner.wide_path(host_path))

    def short_path_of_wide(self, host_path):
        """The 8.3 form of a host path whose name the code page cannot hold (Wine only)."""
        return self.runner.short_path_of_wide(self, host_path)

    def attrib(self, host_path, change=None):
        """The attribute letters Windows shows for a file, after `change` ('+h', ...) if given (Wine only)."""
        return self.runner.attrib(host_path, change)

    def profile_values(self, host_paths):
        return self.runner.profile_values(self, host_paths)

    def short_name(self, host_path):
        """The 8.3 name of an entry, or b'' where the system keeps none (POSIX)."""
        return self.runner.short_path(self, host_path).rsplit(b'\\', 1)[-1] if self.system == 'wine' else b''

    def path_seen_as(self, length, last):
        """A host path (its folders made) that the program sees as exactly `length` bytes, ending in `last`."""
        room = length - len(self.prog(self.root)) - 1 - len(last)
        parts = []
        while room > 0:
            take = min(100, room - 1) if room > 101 else room - 1
            if take <= 0:
                break
            parts.append('p' * take)
            room -= take + 1
        if room > 0:  # one byte left: lengthen the final name instead
            last = 'q' * room + last
        path = self.host(*parts, last)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        assert len(self.prog(path)) == length, (len(self.prog(path)), length)
        return path

    def snapshot(self):
        """A checksum of every file in the sandbox, by path."""
        sums = {}
        for dirpath, dirnames, filenames in os.walk(self.root):
            for name in filenames + [d for d in dirnames if os.path.islink(os.path.join(dirpath, d))]:
                p = os.path.join(dirpath, name)
                st = os.lstat(p)
                if stat.S_ISLNK(st.st_mode):
                    sums[p] = b'link:' + os.readlink(p)
                elif stat.S_ISREG(st.st_mode) and st.st_size > 1 << 26:
                    sums[p] = b'large:%d:%d' % (st.st_size, st.st_mtime_ns)  # huge or sparse: not read through
                elif stat.S_ISREG(st.st_mode):
                    h = hashlib.sha256()
                    with open(p, 'rb') as f:
                        for block in iter(lambda: f.read(1 << 20), b''):
                            h.update(block)
                    sums[p] = h.digest()
                else:
                    sums[p] = b'special'
        sums.pop(self.host(b'helper-script.txt'), None)
        sums.pop(self.host(b'config', b'user-dirs.dirs'), None)
        return sums


def read(path):
    with open(path, 'rb') as f:
        return f.read()


class NativeRunner:
    name = 'native'
    sep = b'/'
    fs_encoding = 'cp932'   # names are created as the Shift_JIS bytes the program handles

    def __init__(self, program, **_):
        self.program = os.fsencode(os.path.abspath(program))
        # A sanitizer's runtime keeps its own shadow memory: no bound on the
        # program's memory holds for such a build.
        self.sanitized = b'__asan_init' in read(self.program)

    def start(self):
        pass

    def stop(self):
        pass

    def install(self, env):
        dst = env.host(b'bin', b'kobu')
        shutil.copy(self.program, dst)
        opener = env.host(b'fakebin', b'xdg-open')
        with open(opener, 'wb') as f:
            f.write(b'#!/bin/sh\necho "xdg-open: a complaint on the terminal" >&2\n'
                    b'printf "%s\\n" "$1" >> "$KOBU_TEST_OPENED.tmp" && mv "$KOBU_TEST_OPENED.tmp" "$KOBU_TEST_OPENED"\n')
        os.chmod(opener, 0o755)
        return dst

    def prog(self, host_path):
        return host_path

    def write_user_dirs(self, env):
        if env.user_dirs_text is not None:
            with open(env.host(b'config', b'user-dirs.dirs'), 'wb') as f:
                f.write(env.user_dirs_text)
            return
        lines = []
        for name in SHELL_FOLDERS:
            v = env.folder_value(name)
            if v is None:
                continue
            quoted = b'"' + v.replace(b'\\', b'\\\\').replace(b'"', b'\\"') + b'"'
            lines.append(XDG_NAMES[name] + b'=' + quoted + b'\n')
        with open(env.host(b'config', b'user-dirs.dirs'), 'wb') as f:
            f.write(b''.join(lines))

    def environ(self, env, ctrl=False):
        environ = {
            'PATH': os.fsdecode(env.host(b'fakebin')) + ':/usr/bin:/bin',
            'HOME': os.fsdecode(env.host(b'home')),
            'XDG_CONFIG_HOME': os.fsdecode(env.host(b'config')),
            'KOBU_TEST_OPENED': os.fsdecode(env.host(b'opened.log')),
            'LC_ALL': 'C',
        }
        if ctrl:
            environ['KOBU_OPEN'] = '1'
        for k, v in env.environment.items():
            if v is None:
                environ.pop(k, None)
            else:
                environ[k] = v
        return environ

    def run(self, env, tail, ctrl, cwd, stop_after=None, stdout=None, stop_signal='INT', child=None, through=()):
        self.write_user_dirs(env)
        # GNU time measures the peak memory of the program alone (a child of
        # this script would start with the script's own pages counted).
        usage = env.host(b'peak-memory.txt')
        output = env.host(b'output.txt')
        args = tail if isinstance(tail, list) else [tail] if tail else []  # a list: separate arguments
        argv = [b'/usr/bin/time', b'-q', b'-f', b'%M', b'-o', usage, *through, env.program] + args
        with open(output, 'wb') as out, open(stdout or os.devnull, 'wb') as given:
            p = subprocess.Popen(argv, env=self.environ(env, ctrl), cwd=cwd, stdin=subprocess.DEVNULL,
                                 stdout=given if stdout else out, stderr=out, preexec_fn=child)
            try:
                rc = p.wait(timeout=stop_after if stop_after is not None else 600)
            except subprocess.TimeoutExpired:
                # Stopped as a user would stop it: an interrupt, to the program itself.
                subprocess.run(['pkill', '-' + stop_signal, '-P', str(p.pid)])
                p.wait(timeout=60)
                rc = None
        env.output = read(output)
        os.remove(output)
        if os.path.exists(usage):
            with open(usage, 'rb') as f:
                words = f.read().split()
                env.peak_kb = int(words[-1]) if words and words[-1].isdigit() else 0
            os.remove(usage)
        return rc

    def spawn(self, env, tail, cwd):
        self.write_user_dirs(env)
        return subprocess.Popen([env.program] + ([tail] if tail else []), env=self.environ(env), cwd=cwd,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def finish(self, started):
        return started.wait(timeout=600)

    def opened(self, env, wait=True):
        log = env.host(b'opened.log')
        deadline = time.monotonic() + (10 if wait else 0)
        while not os.path.exists(log) and time.monotonic() < deadline:
            time.sleep(0.02)
        return read(log).splitlines() if os.path.exists(log) else []

    def windows_directory(self, env):
        return env.host(b'home')

    def shown_path(self, env, host_path):
        # UTF-8 under a UTF-8 locale, where the path is UTF-8; else its bytes,
        # which a Shift_JIS page shows as Shift_JIS.
        environ = self.environ(env)
        locale = next((environ[k] for k in ('LC_ALL', 'LC_CTYPE', 'LANG') if environ.get(k)), '')
        codeset = locale.partition('.')[2].partition('@')[0].lower()
        if codeset in ('utf-8', 'utf8') and any(b >= 0x80 for b in host_path):
            try:
                return host_path.decode('utf-8')
            except UnicodeDecodeError:
                pass
        return host_path.decode('cp932', 'replace')

    def ends_in_separator(self, path):
        return path.endswith(b'/')

    def windows_favorites(self, env):
        p = os.path.join(env.host(b'home'), b'favorites')
        return p, p

    # As NTFS orders names: UTF-8 by its UTF-16 units, each in its simple upper case (the Greek letters
    # with ypogegrammeni aside); other bytes once ASCII letters are upper case; then the bytes as they are.
    @staticmethod
    def name_order(name):
        try:
            text = ''.join(c if len(c.upper()) > 1 or c > '\uffff' else c.upper() for c in name.decode('utf-8'))
        except UnicodeDecodeError:
            text = name.upper().decode('latin-1')
        return text.encode('utf-16-be'), name

    def list_dir(self, host_dir):
        # In the order NTFS keeps names.
        out = []
        for name in sorted([b'.', b'..'] + os.listdir(host_dir), key=self.name_order):
            p = os.path.join(host_dir, name)
            out.append((name, p, os.path.isdir(p)))
        return out


class WineRunner:
    name = 'wine'
    sep = b'\\'
    fs_encoding = 'utf-8'   # Wine keeps Unicode names as UTF-8 on the host

    # What each route runs: the shipped 32-bit program under 32-bit Wine, or,
    # where the kernel cannot run 32-bit programs, the 64-bit build of the
    # same sources under 64-bit Wine.
    ROUTES = {
        'win32': ('/usr/lib/wine/wine', 'Wine: the shipped 32-bit program (PE32)', ('winxp', 'win7', 'win10')),
        'win64': ('/usr/lib/wine/wine64',
                  'Wine: 64-bit build of the same sources (this machine cannot run 32-bit programs)',
                  ('winxp64', 'win7', 'win10')),
    }

    def __init__(self, program, helper=None, wine_prefix=None, wine_route='win32', **_):
        self.program = os.path.abspath(program)
        self.helper = os.path.abspath(helper)
        self.route = wine_route
        self.loader, self.banner, self.versions = self.ROUTES[wine_route]
        self.environ = dict(os.environ)
        self.environ.update({
            'WINEPREFIX': os.path.abspath(wine_prefix),
            'WINEDEBUG': '-all',
            'WINEDLLOVERRIDES': 'mscoree,mshtml=',
            'WINEARCH': wine_route,
            'WINELOADER': self.loader,
            'LC_ALL': 'ja_JP.UTF-8',
        })
        self.environ.pop('DISPLAY', None)

    def wine(self, *args, **kw):
        # Output goes through files, not pipes: Wine's background services
        # inherit the handles and would hold a pipe open for good.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            r = subprocess.run([self.loader, *args], env=self.environ, stdin=subprocess.DEVNULL,
                               stdout=out, stderr=err, timeout=600, **kw)
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(r.args, r.returncode, out.read(), err.read())

    def start(self):
        print(self.banner, flush=True)
        # A suite that cannot run fails, and says what is missing: a Windows
        # suite skipped is never a pass.
        for what in (self.program, self.helper):
            if not os.path.exists(what):
                raise SystemExit(f'{what} is missing: make test builds it')
        try:
            r = subprocess.run([self.loader, '--version'], env=self.environ, stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
            works, why = r.returncode == 0, r.stdout.decode(errors='replace').strip()
        except OSError as e:
            works, why = False, str(e)
        if not works:
            need = 'wine and wine32:i386' if self.route == 'win32' else 'wine64'
            raise SystemExit(f'{self.loader} cannot run ({why}): this route needs {need}; '
                             f'cmake/install-deps.sh installs it')
        prefix = self.environ['WINEPREFIX']
        if not os.path.exists(os.path.join(prefix, 'system.reg')):
            os.makedirs(prefix, exist_ok=True)
            subprocess.run([self.loader, 'wineboot', '--init'], env=self.environ, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
            subprocess.run(['wineserver', '-w'], env=self.environ, timeout=600)
        # One server for the whole run: a new one would re-create the
        # shell-folder values the cases delete.
        subprocess.run(['wineserver', '-p'], env=self.environ, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def stop(self):
        subprocess.run(['wineserver', '-k'], env=self.environ, timeout=60)

    def install(self, env):
        dst = env.host(b'bin', b'kobu.exe')
        shutil.copy(self.program, dst)
        return dst

    def prog(self, host_path):
        return b'Z:' + host_path.decode('utf-8').encode('cp932').replace(b'/', b'\\')

    def name_seen(self, host_name):
        # '?' for what the code page cannot hold: such a name reaches nothing.
        return host_name.decode('utf-8').encode('cp932', 'replace')

    def shown_path(self, env, host_path):
        return self.wide_path(host_path)  # every name in Unicode, as Windows keeps it

    def script(self, env, lines):
        path = env.host(b'helper-script.txt')
        with open(path, 'wb') as f:
            f.write(b''.join(line + b'\n' for line in lines))
        return self.prog(path).decode('cp932')

    def helper_run(self, env, lines, cwd):
        return self.wine(self.helper, self.script(env, lines), cwd=cwd)

    def run(self, env, tail, ctrl, cwd, stop_after=None, stdout=None, stop_signal='INT', child=None, through=()):
        assert not ctrl, 'the Ctrl key cannot be held under Wine here'
        assert stdout is None and child is None and not through, 'a GUI program: no standard output, POSIX limits'
        lines = []
        for name in SHELL_FOLDERS:
            v = env.folder_value(name)
            if v is None:
                lines.append(b'reg-del ' + name.encode())
            elif isinstance(v, Wide):
                lines.append(b'reg-set-w ' + name.encode() + b'\t' + v.encode('utf-8'))
            else:
                lines.append(b'reg-set ' + name.encode() + b'\t' + v)
        if isinstance(tail, Wide):
            program = self.prog(env.program).decode('cp932')
            lines.append(('run-w "' + program + '" ' + tail).encode('utf-8'))
            return self.finish_helper(self.helper_run(env, lines, cwd))
        command = b'"' + self.prog(env.program) + b'"' + (b' ' + tail if tail else b'')
        if stop_after is None:
            lines.append(b'run ' + command)
        else:
            lines.append(b'run-stop %d\t' % int(stop_after * 1000) + command)
        r = self.finish_helper(self.helper_run(env, lines, cwd))
        return None if stop_after is not None and r == 98 else r

    def finish_helper(self, r):
        if r.returncode == 99:
            raise AssertionError('wine helper failed: ' + r.stderr.decode('utf-8', 'replace'))
        return r.returncode

    def wide_path(self, host_path):
        """A host path as Windows names it, in Unicode."""
        return 'Z:' + os.fsdecode(host_path).replace('/', '\\')

    def short_path_of_wide(self, env, host_path):
        out = env.host(b'short.txt')
        line = 'short-w ' + self.wide_path(host_path) + '\t' + self.wide_path(out)
        r = self.helper_run(env, [line.encode('utf-8')], env.root)
        assert r.returncode == 0, r.stderr
        return read(out)

    def attrib(self, host_path, change):
        path = self.wide_path(host_path)
        if change:
            self.wine('cmd', '/c', 'attrib', change, path)
        return self.wine('cmd', '/c', 'attrib', path).stdout.split(b'Z:')[0].decode()

    def profile_values(self, env, host_paths):
        """What GetPrivateProfileStringA gives for [kobu] html (default DEFAULT) in each file."""
        outs = [p + b'.value' for p in host_paths]
        lines = [b'profile ' + self.prog(p) + b'\t' + self.prog(o) for p, o in zip(host_paths, outs)]
        r = self.helper_run(env, lines, env.root)
        assert r.returncode == 0, r.stderr
        values = [read(o) for o in outs]
        for o in outs:
            os.remove(o)
        return values

    def short_path(self, env, host_path):
        out = env.host(b'short.txt')
        r = self.helper_run(env, [b'short ' + self.prog(host_path) + b'\t' + self.prog(out)], env.root)
        assert r.returncode == 0, r.stderr
        return read(out)

    def opened(self, env, wait=True):
        return []

    def windows_version(self):
        r = self.wine('cmd', '/c', 'ver')
        m = re.search(rb'Windows (?:\w+ )*(\d+\.\d+)\.\d+', r.stdout)
        names = dict(WINDOWS_VERSIONS, **({'5.2': 'winxp64'} if self.route == 'win64' else {}))
        return names.get(m.group(1).decode()) if m else None

    def set_windows_version(self, name):
        r = self.wine('winecfg', '-v', name)
        assert r.returncode == 0, f'winecfg -v {name} failed'

    def windows_directory(self, env):
        return os.path.join(os.fsencode(self.environ['WINEPREFIX']), b'drive_c', b'windows')

    def windows_favorites(self, env):
        return os.path.join(self.windows_directory(env), b'favorites'), b'C:\\windows\\favorites'

    def ends_in_separator(self, path):
        # The last separator must be a character of its own, not the second
        # byte of a double-byte character.
        i, last = 0, -1
        while i < len(path):
            if (0x81 <= path[i] <= 0x9F or 0xE0 <= path[i] <= 0xFC) and i + 1 < len(path):
                i += 2
                continue
            if path[i] == 0x5C:
                last = i
            i += 1
        return last == len(path) - 1

    def list_dir(self, host_dir):
        # Wine hands out a folder's entries sorted by name, after "." and "..".
        out = []
        names = sorted(os.listdir(host_dir), key=lambda n: n.decode('utf-8').upper())
        for name in [b'.', b'..'] + names:
            p = os.path.join(host_dir, name)
            out.append((self.name_seen(name), p, os.path.isdir(p)))
        return out


RUNNERS = {'native': NativeRunner, 'wine': WineRunner}


def remove_tree(path):
    def onerror(func, p, _):
        os.chmod(p, stat.S_IRWXU)
        func(p)
    for dirpath, dirnames, _ in os.walk(path):
        for d in dirnames:
            try:
                os.chmod(os.path.join(dirpath, d), stat.S_IRWXU)
            except OSError:
                pass
    shutil.rmtree(path, onerror=onerror)
