"""Nothing lost, nothing hangs: a page replaces the old one only when it is
complete, never replaces a file the run reads, and no tree or file makes a
run write or read without end.  Each case checks the whole sandbox."""
import os
import re
import resource
import shutil
import signal
import stat
import subprocess
import time

from case_table import case, expect_file, favorites_and_desktop, guarded_run
from page_model import expected_favorites, link_item, links_page, text_links
from runners import read

IS_ROOT = os.geteuid() == 0


def temporary_files(folder):
    return [n for n in os.listdir(folder) if b'.kobu-' in n and n.endswith(b'.tmp')]


def page_being_written(run):
    """The file a started run writes its page to, as /proc shows it, once it has one."""
    while True:
        for fd in os.listdir(f'/proc/{run.pid}/fd'):
            if int(read(f'/proc/{run.pid}/fdinfo/{fd}').split()[3], 8) & os.O_WRONLY:
                return f'/proc/{run.pid}/fd/{fd}'
        time.sleep(0.01)


def change_while_held(run, change):
    """Holds a started run once it writes its page, makes `change`, lets it go on."""
    page_being_written(run)
    run.send_signal(signal.SIGSTOP)
    change()
    run.send_signal(signal.SIGCONT)


def secret_in_a_shared_folder(env):
    """(root's 0600 st/notes.txt in a sticky folder anyone may write to, a shell command as user 5000) or Nones."""
    if not IS_ROOT or shutil.which('setpriv') is None:
        print('       (not root, or no setpriv: no second user here)')
        return None, None
    os.chmod(env.root, 0o755)
    os.chmod(env.mkdir('st'), 0o1777)
    src = env.write('st', 'notes.txt', b'http://secret/\n')
    os.chmod(src, 0o600)
    return src, lambda script: subprocess.run(['setpriv', '--reuid=5000', '--regid=5000', '--clear-groups', 'sh',
                                               '-c', script], cwd=env.root, check=True)



@case('safety')
def text_input_linked_from_its_page_name(env):
    # notes.txt.html a symbolic or a hard link to notes.txt, and index a
    # link to index.html: the page would be the input itself.
    for kind, make in (('symbolic', os.symlink), ('hard', os.link)):
        src = env.write(kind, 'notes.txt', b'http://keep/\n')
        make(src, src + b'.html')
        assert guarded_run(env, env.prog(src)) == 1, kind
    env.write('index', 'index.html', b'http://keep/\n')
    os.symlink(b'index.html', env.host('index', 'index'))
    assert guarded_run(env, env.prog(env.host('index', 'index'))) == 1


@case('safety')
def configuration_never_replaced_by_the_page(env):
    favorites_and_desktop(env)
    conf = env.host('bin', 'kobu.txt')
    os.link(env.program, env.host('desk', 'program-link'))
    dirs = (env.host('config', 'user-dirs.dirs'),) if env.system == 'native' else ()
    for value in (env.prog(conf), env.prog(env.host('desk', 'conf-link')), env.prog(env.program),
                  env.prog(env.host('desk', 'program-link'))) + dirs:
        env.config(b'[kobu]\r\nhtml=' + value + b'\r\n')
        if not os.path.exists(env.host('desk', 'conf-link')):
            os.link(conf, env.host('desk', 'conf-link'))
        assert guarded_run(env) == 1, value


def small_disk(env, kilobytes):
    """A folder on a file system of its own that holds `kilobytes`, or None where none can be made."""
    folder = env.mkdir('small-disk')
    r = subprocess.run(['mount', '-t', 'tmpfs', '-o', f'size={kilobytes}k', 'tmpfs', folder],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if r.returncode != 0:
        return None
    env.cleanups.append(lambda: subprocess.run(['umount', '-l', folder]))
    return folder


@case('safety')
def a_full_disk_keeps_the_old_pages(env):
    fav, _ = favorites_and_desktop(env)
    for i in range(400):
        env.write('fav', f'shortcut {i:03}.url', b'URL=http://full.example/' + b'x' * 200 + b'\r\n')
    disk = small_disk(env, 64)
    if disk is None:
        print('       (no file system of its own can be mounted here: the unit tests cover a full disk)')
        return
    old_page = os.path.join(disk, b'kobu.html')
    with open(old_page, 'wb') as f:
        f.write(b'the previous page\r\n')
    src = os.path.join(disk, b'links.txt')
    with open(src, 'wb') as f:
        f.write(b'http://a.example/\r\n' * 2000)
    with open(src + b'.html', 'wb') as f:
        f.write(b'the previous links page\r\n')
    filler = os.path.join(disk, b'filler')
    fd = os.open(filler, os.O_WRONLY | os.O_CREAT)
    try:
        while os.write(fd, b'\0' * 4096) == 4096:
            pass
    except OSError:
        pass
    finally:
        os.close(fd)
    os.truncate(filler, os.path.getsize(filler) - 16384)  # leave a few kilobytes free
    env.config(b'[kobu]\r\nhtml=' + env.prog(old_page) + b'\r\n')
    assert guarded_run(env) == 1
    assert guarded_run(env, env.prog(src)) == 1
    assert temporary_files(disk) == []


@case('safety')
def a_stopped_run_keeps_the_old_page(env):
    # 64 GB that read as zeros: a run that would go on for a minute.
    src = env.write('huge.txt', b'http://start/\r\n')
    os.truncate(src, 64 << 30)
    with open(src + b'.html', 'wb') as f:
        f.write(b'the previous page\r\n')
    before = env.snapshot()
    assert env.run(env.prog(src), stop_after=1.0) is None, 'the run should still have been going'
    after = env.snapshot()
    left = [p for p in set(after) - set(before) if b'.kobu-' in p]
    for p in left:  # what a run stopped without warning leaves, by name
        after.pop(p)
    assert after == before, 'the old page or the input changed'
    if env.system == 'native':  # an interrupt lets the program remove its temporary file
        assert left == [], left


@case('safety', runners=('native',))
def two_runs_at_once_each_leave_a_whole_page(env):
    # A long page and a short one to the same place, the short one started
    # while the long one is being written: the page is one of the two, whole.
    fav, page = favorites_and_desktop(env)
    for d in range(300):
        for i in range(20):
            env.write('fav', f'folder {d:03}', f'site {i:02}.url', b'URL=http://site.example/%d/%d\r\n' % (d, i))
    small = env.mkdir('small')
    env.write('small', 'one.url', b'URL=http://one.example/\r\n')
    long_page, short_page = expected_favorites(env, fav), expected_favorites(env, small)
    for delay in (0.0, 0.02, 0.05):
        long_run = env.start()
        time.sleep(delay)
        short_run = env.start(env.prog(small))
        # The one that finds the page changed since it began leaves it (1).
        # Both succeed where one began after the other was done: the page is
        # then the later one's.  Either may end first on a busy machine.
        long_rc, short_rc = env.finish(long_run), env.finish(short_run)
        assert {long_rc, short_rc} <= {0, 1}
        done = [p for rc, p in ((long_rc, long_page), (short_rc, short_page)) if rc == 0]
        assert read(page) in done, f'a page through another (delay {delay})'
    assert temporary_files(env.host('desk')) == []
    # The same, one step at a time: the other run's page comes while this
    # one is held mid-write.  It stays, and this run fails.
    src = env.write('in', 'huge.txt', b'http://start/\r\n')
    os.truncate(src, 1 << 30)
    env.write('in', 'huge.txt.html', b'the old page')
    run = env.start(env.prog(src))
    change_while_held(run, lambda: os.rename(env.write('in', 'other', b"the other run's page"), src + b'.html'))
    assert env.finish(run) == 1 and read(src + b'.html') == b"the other run's page"
    assert sorted(os.listdir(env.host('in'))) == [b'huge.txt', b'huge.txt.html']


@case('safety')
def a_diamond_of_folder_links_is_walked_once(env):
    # 61 folders, each with two links to the next: 2^60 paths, 181 entries.
    fav, page = favorites_and_desktop(env)
    for i in range(61):
        env.write('fav', f'F{i:02}', 's.url', b'URL=http://s/%d\r\n' % i)
    for i in range(60):
        for link in ('L1', 'L2'):
            os.symlink(env.host('fav', f'F{i + 1:02}'), env.host('fav', f'F{i:02}', link))
    assert guarded_run(env, written=[page]) == 0
    text = read(page)
    assert text.count(b'<li>') == 61, 'every folder listed once'
    assert text.count(b'<div class="dir">') == 61 + 120, 'one section per entry'
    assert text.count(b'<div') == text.count(b'</div>')


@case('safety')
def huge_small_files_are_not_read_through(env):
    fav, page = favorites_and_desktop(env)
    shortcut = env.write('fav', 'x.url', b'[InternetShortcut]\r\nURL=http://start/\r\n')
    os.truncate(shortcut, 4 << 40)  # 4 TB, sparse
    other = env.host('other.html')
    env.config(b'[kobu]\r\nhtml=' + env.prog(other) + b'\r\n')
    os.truncate(env.host('bin', 'kobu.txt'), 4 << 40)
    assert guarded_run(env, written=[page]) == 0  # kobu.txt counts as absent: the default page
    assert b'<li><a href="http://start/">x</a></li>' in read(page)
    assert not os.path.exists(other)


@case('safety', runners=('native',))
def a_huge_user_dirs_file_counts_as_absent(env):
    favorites_and_desktop(env)
    dirs = env.write('config2', 'user-dirs.dirs', b'XDG_DESKTOP_DIR="' + env.host('desk') + b'"\n')
    os.truncate(dirs, 4 << 40)
    env.environment['XDG_CONFIG_HOME'] = os.fsdecode(env.host('config2'))
    assert guarded_run(env, written=[env.host('home', 'kobu.html')]) == 0
    assert os.path.exists(env.host('home', 'kobu.html'))  # no Desktop: $HOME


@case('safety', runners=('native',))
def literal_wildcards_in_names_select_nothing_else(env):
    env.write('data', 'da', 'links.txt', b'http://da/\n')
    src = env.write('data', 'd*', 'links.txt', b'http://literal-star/\n')
    assert guarded_run(env, env.prog(src), written=[src + b'.html']) == 0
    expect_file(src + b'.html', links_page(env.prog(src), link_item(b'http://', b'literal-star/')))
    env.write('cwd', 'a4.txt', b'http://a4/\n')
    q = env.write('cwd', 'a?.txt', b'http://literal-question-mark/\n')
    assert guarded_run(env, b'./a?.txt', written=[q + b'.html']) == 0
    expect_file(q + b'.html', links_page(b'./a?.txt', link_item(b'http://', b'literal-question-mark/')))


@case('safety', runners=('native',))
def a_pipe_named_like_a_shortcut_is_never_opened(env):
    fav, page = favorites_and_desktop(env)
    fifo = env.host('fav', 'pipe.url')
    os.mkfifo(fifo)
    writer = subprocess.Popen(['sh', '-c', 'printf "URL=http://kept/" > "$0"', fifo])
    try:
        time.sleep(0.2)
        assert env.run() == 0
        assert b'<li><a href="">pipe</a></li>' in read(page)
        assert writer.poll() is None, 'the writer was released: the pipe was opened'
        with open(fifo, 'rb') as f:
            assert f.read() == b'URL=http://kept/'
    finally:
        writer.kill()
        writer.wait()


@case('safety', runners=('native',))
def outputs_that_are_not_files_are_never_written(env):
    favorites_and_desktop(env)
    fifo = env.host('page.fifo')
    os.mkfifo(fifo)
    os.symlink(b'/dev/full', env.host('full-link.html'))
    for target in (fifo, env.host('full-link.html'), env.mkdir('folder.html')):
        env.config(b'[kobu]\nhtml=' + target + b'\n')
        assert guarded_run(env) == 1, target
    assert stat.S_ISFIFO(os.lstat(fifo).st_mode)


@case('safety', runners=('native',))
def a_page_behind_a_link_is_written_through_it(env):
    fav, page = favorites_and_desktop(env)
    real = env.write('pages', 'real.html', b'old')
    os.symlink(real, page)
    assert guarded_run(env, written=[real]) == 0
    assert os.path.islink(page) and os.readlink(page) == real
    expect_file(real, expected_favorites(env, fav))
    os.remove(page)
    os.symlink(b'../pages/new.html', page)  # to nothing yet, relative
    assert guarded_run(env, written=[env.host('pages', 'new.html')]) == 0
    assert os.path.islink(page)
    expect_file(env.host('pages', 'new.html'), expected_favorites(env, fav))


@case('safety', runners=('native',))
def a_replaced_page_keeps_its_permission_bits(env):
    fav, page = favorites_and_desktop(env)
    for mode, kept in ((0o604, 0o604), (0o6755, 0o755)):  # never a set-ID page
        with open(page, 'wb') as f:
            f.write(b'old')
        os.chmod(page, mode)
        assert env.run() == 0
        assert stat.S_IMODE(os.stat(page).st_mode) == kept
        expect_file(page, expected_favorites(env, fav))


@case('safety', runners=('native',))
def a_replaced_page_keeps_its_acl_and_extended_attributes(env):
    if shutil.which('setfacl') is None:
        print('       (no setfacl here: make test installs it)')
        return
    src = env.write('in.txt', b'http://a/\n')
    page = env.write('in.txt.html', b'old')
    os.chmod(page, 0o640)
    subprocess.run(['setfacl', '-m', 'u:4242:rw,g::---,m::rw', page], check=True)
    os.setxattr(page, 'user.note', b'kept')
    kept = lambda: ({a: os.getxattr(page, a) for a in os.listxattr(page)}, os.stat(page).st_mode, os.stat(page).st_gid)
    before = kept()
    assert env.run(src) == 0 and kept() == before


@case('safety')
def a_read_only_page_stays(env):
    _, page = favorites_and_desktop(env)  # whoever runs the program, root included
    with open(page, 'wb') as f:
        f.write(b'the previous page')
    os.chmod(page, 0o444)
    assert guarded_run(env) == 1
    assert temporary_files(env.host('desk')) == []


@case('safety', runners=('native',))
def the_opener_gets_an_absolute_path_and_no_terminal(env):
    favorites_and_desktop(env)
    env.config(b'[kobu]\nhtml=-x.html\n')
    assert env.run(ctrl=True) == 0
    assert env.opened() == [env.host('cwd', '-x.html')]
    assert env.output == b'', env.output


@case('safety', runners=('native',))
def a_relative_config_home_is_ignored(env):
    favorites_and_desktop(env)
    env.write('cwd', 'relative', 'user-dirs.dirs', b'XDG_DESKTOP_DIR="' + env.host('desk') + b'"\n')
    env.environment['XDG_CONFIG_HOME'] = 'relative'
    assert guarded_run(env, written=[env.host('home', 'kobu.html')]) == 0
    assert os.path.exists(env.host('home', 'kobu.html')) and not os.path.exists(env.host('desk', 'kobu.html'))


@case('safety')
def an_old_links_page_is_replaced_whole(env):
    src = env.write('in', 'links.txt', b'http://new/\r\n')
    with open(src + b'.html', 'wb') as f:
        f.write(b'x' * 100000)  # longer than the new page: nothing of it may stay
    assert guarded_run(env, env.prog(src), written=[src + b'.html']) == 0
    expect_file(src + b'.html', links_page(env.prog(src), text_links(read(src))))


@case('safety', runners=('native',))
def signals_and_limits_keep_the_old_page(env):
    # While it is written a page is its owner's alone; stopped by any signal
    # that ends a process it leaves nothing behind, or past a file-size
    # limit; a hangup the caller ignores (nohup) lets it finish.
    src = env.write('huge.txt', b'http://start/\r\n')
    os.truncate(src, 64 << 30)
    page = src + b'.html'
    with open(page, 'wb') as f:
        f.write(b'the previous page\r\n')
    many = env.write('many.txt', b'http://x/\n' * 100000)
    before = env.snapshot()
    run = env.start(env.prog(src))
    assert stat.S_IMODE(os.stat(page_being_written(run)).st_mode) == 0o600
    run.send_signal(signal.SIGTERM)
    env.finish(run)
    no_core = lambda: resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
    for sig in ('USR1', 'ALRM', 'PIPE', 'KILL', 'ABRT', 'SEGV', 'BUS', 'PWR', 'RTMIN', str(signal.SIGRTMAX), 'SYS',
                'TRAP'):
        assert env.run(env.prog(src), stop_after=0.3, stop_signal=sig, child=no_core) is None, sig
    assert env.run(env.prog(many), child=lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (1 << 16,) * 2)) == 1
    assert env.snapshot() == before
    os.truncate(src, 1 << 30)
    os.remove(page)
    env.run(env.prog(src), stop_after=0.3, stop_signal='HUP', child=lambda: signal.signal(signal.SIGHUP, signal.SIG_IGN))
    expect_file(page, links_page(env.prog(src), link_item(b'http://', b'start/')))
    mask = os.umask(0)
    os.umask(mask)
    assert stat.S_IMODE(os.stat(page).st_mode) == 0o666 & ~mask, 'a new page has the mode of any new file'


@case('safety', runners=('native',))
def running_out_of_descriptors_fails_the_run(env):
    fav, page = favorites_and_desktop(env)
    env.write('fav', *['d'] * 40, 's.url', b'URL=http://deep/\r\n')
    with open(page, 'wb') as f:
        f.write(b'the previous page')
    assert guarded_run(env, child=lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (16, 16))) == 1


@case('safety', runners=('native',))
def root_keeps_owners_and_follows_no_planted_link(env):
    if not IS_ROOT:
        return
    fav, page = favorites_and_desktop(env)
    with open(page, 'wb') as f:
        f.write(b'old')
    os.chown(page, 65534, 65534)
    assert guarded_run(env, written=[page]) == 0
    assert (os.stat(page).st_uid, os.stat(page).st_gid) == (65534, 65534)
    # In a sticky folder anyone may write to, another user's link to a file of root's.
    shared = env.mkdir('shared')
    os.chmod(shared, 0o1777)
    env.write('victim', b'root only')
    os.symlink(env.host('victim'), os.path.join(shared, b'kobu.html'))
    os.lchown(os.path.join(shared, b'kobu.html'), 65534, 65534)
    env.set_folder('Desktop', shared)
    assert guarded_run(env) == 1
    # Nor such a link in the middle of the path, to a folder of root's.
    os.symlink(env.mkdir('roots'), os.path.join(shared, b'dirlink'))
    os.lchown(os.path.join(shared, b'dirlink'), 65534, 65534)
    env.config(b'[kobu]\nhtml=' + os.path.join(shared, b'dirlink', b'kobu.html') + b'\n')
    assert guarded_run(env) == 1


@case('safety', runners=('native',))
def a_page_another_user_made_in_a_shared_folder_stays_theirs(env):
    src, as_other = secret_in_a_shared_folder(env)
    if as_other:
        as_other('umask 0 && : > st/notes.txt.html')
        assert guarded_run(env, src, child=lambda: os.umask(0o077)) == 1


@case('safety', runners=('native',))
def a_link_planted_while_a_new_page_is_written_stays(env):
    src, as_other = secret_in_a_shared_folder(env)
    if as_other:
        os.truncate(src, 1 << 30)
        as_other('umask 0 && : > st/att')
        before = env.snapshot()
        run = env.start(src)
        change_while_held(run, lambda: as_other('ln -s att st/notes.txt.html'))
        assert env.finish(run) == 1
        after = env.snapshot()
        assert after.pop(src + b'.html') == b'link:att' and after == before


@case('safety', runners=('native',))
def leftovers_of_runs_killed_in_a_pid_namespace_block_no_run(env):
    # There the program is PID 1 each time: 20 runs killed outright once
    # left every name it would pick.
    src = env.write('in.txt', b'http://a/\n')
    for n in [b''] + [b'-%d' % i for i in range(1, 10)]:
        env.write(b'in.txt.html.kobu-1' + n + b'.tmp', b'left'), env.write(b'.kobu-1' + n + b'.tmp', b'left')
    if not IS_ROOT:
        print('       (not root: no PID namespace here)')
        return
    assert guarded_run(env, src, written=[src + b'.html'], through=['unshare', '-pf', '--mount-proc']) == 0
    expect_file(src + b'.html', links_page(src, link_item(b'http://', b'a/')))


@case('safety', runners=('native',))
def the_program_is_told_apart_however_it_was_started(env):
    favorites_and_desktop(env)
    env.write('config', 'kobu', 'kobu.txt', b'[kobu]\nhtml=' + env.program + b'\n')
    for loader in re.findall(rb'/lib[\w/.-]*/ld-linux[\w.-]*\.so\.\d', read(env.program))[:1]:  # its own
        assert guarded_run(env, through=[loader]) == 1
    if not IS_ROOT or env.runner.sanitized:
        print('       (not root, or a sanitizer that needs /proc: /proc stays)')
        return
    # Without /proc: a new page and an old one alike.
    src = env.write('in.txt', b'http://a/\n')
    hidden = ['unshare', '-m', 'sh', '-c', 'mount -t tmpfs tmpfs /proc && exec "$0" "$1"']
    assert [env.run(src, through=hidden) for _ in range(2)] == [0, 0]


@case('safety')
def a_page_name_near_the_limit_of_the_file_system(env):
    src = env.write('cwd', 'n' * 245 + '.txt', b'http://long/\r\n')  # its page name: 254 bytes
    assert guarded_run(env, os.path.basename(src), written=[src + b'.html']) == 0
    expect_file(src + b'.html', links_page(os.path.basename(src), link_item(b'http://', b'long/')))


@case('safety', runners=('wine',))
def a_hidden_page_stays_hidden(env):
    _, page = favorites_and_desktop(env)
    with open(page, 'wb') as f:
        f.write(b'old')
    env.attrib(page, '+h')
    assert guarded_run(env, written=[page]) == 0
    assert 'H' in env.attrib(page)
