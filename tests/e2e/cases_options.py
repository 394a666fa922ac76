"""The native program's options: --help and --version, which write no page,
unknown ones, which are refused, and the words that stay paths; the sample
kobu.txt of the release, read by the program."""
import os
import re
import sys

from case_table import case, expect_file, favorites_and_desktop, guarded_run
from page_model import expected_favorites, links_page, text_links
from runners import read

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(SOURCE, 'dist'))
from make_dist import sample_text, windows_text  # noqa: E402


def project_version():
    with open(os.path.join(SOURCE, 'CMakeLists.txt'), encoding='utf-8') as f:
        return re.search(r'project\(kobu VERSION ([0-9.]+)', f.read()).group(1).encode()


# The arguments (as separate words) and what the native program does with
# them: print the usage or the version, refuse an unknown option or a
# command line (exit 2), write the page of TXT (or the favorites page) to
# OUT, to standard output or where it goes and open it, or (None) take them
# as paths, here ones that name nothing.  The first option decides.
WORDS = [
    ([b'-o', b'OUT', b'TXT'], 'out'),
    ([b'--output=OUT', b'TXT'], 'out'),
    ([b'--output', b'OUT'], 'out'),
    ([b'-o', b'-', b'TXT'], 'stdout'),
    ([b'--open', b'TXT'], 'opened'),
    ([b'-o', b'OUT', b'TXT', b'TXT'], 'refused'),
    ([b'--open', b'-o', b'-', b'TXT'], 'refused'),
    ([b'-o'], 'refused'),
    ([b'--help'], 'usage'),
    ([b'-h'], 'usage'),
    ([b'--version'], 'version'),
    ([b'--help', b'x'], 'usage'),
    ([b'--version', b'--help'], 'version'),
    ([b'-h', b''], 'usage'),
    ([b'--HELP'], 'unknown'),
    ([b'-help'], 'unknown'),
    ([b'--version '], 'unknown'),
    ([b'x', b'-V'], 'unknown'),
    ([b'--', b'--help'], None),
]


@case('text')
def options(env):
    fav, page = favorites_and_desktop(env)
    env.write('fav', 'a.url', b'URL=http://a/\n')
    listing = expected_favorites(env, fav)
    out = env.host('stdout.txt')
    data = b'see http://a.example/?b=1&c=2 https://b.example/\r\n'
    txt, page_of_txt = env.write('notes.txt', data), env.host('notes.txt.html')
    other = env.host('other page.html')
    for words, does in WORDS:
        if does in ('out', 'stdout', 'opened', 'refused'):
            if env.system == 'native':
                page_options(env, words, does, txt, page_of_txt, other, out, listing)
            continue
        if env.system == 'wine':  # Windows has no options: every word is part of the path
            assert env.run(b' '.join(words)) == 0, words
            expect_file(page, listing)
            os.remove(page)
            continue
        if does is None:
            assert guarded_run(env, words, stdout=out) == 1, words
            assert read(out) == b'' and env.output.endswith(b': No such file or directory\n')
            continue
        rc = guarded_run(env, words, written=[out], stdout=out)
        text = read(out)
        if does == 'unknown':  # one line on standard error, nothing written
            assert rc == 2 and text == b'' and env.output.count(b'\n') == 1, (words, env.output)
            assert env.output.startswith(b'kobu: ' + words[-1] + b': unknown option'), env.output
        elif does == 'usage':
            assert rc == 0 and text.startswith(b'Usage: kobu ') and b'--version' in text and b'man kobu' in text, text
        else:
            lines = text.splitlines()
            assert rc == 0 and lines[0] == b'kobu ' + project_version(), lines
            assert b'Copyright (c) 2026 the kobu developers' in lines and b'License: MIT' in lines, lines


def page_options(env, words, does, txt, page_of_txt, other, out, listing):
    words = [w.replace(b'OUT', env.prog(other)).replace(b'TXT', env.prog(txt)) for w in words]
    page = links_page(env.prog(txt), text_links(read(txt))) if env.prog(txt) in words else listing
    log = env.host('opened.log')  # written by the stand-in xdg-open, when it is started
    rc = guarded_run(env, words, written=[out, other, page_of_txt, log, log + b'.tmp'], stdout=out)
    if does == 'refused':
        assert rc == 2 and env.output.count(b'\n') == 1, (words, env.output)
    else:
        assert rc == 0 and env.output == b'', (words, env.output)
    assert read(out) == (page if does == 'stdout' else b''), words
    assert os.path.exists(other) == (does == 'out') and os.path.exists(page_of_txt) == (does == 'opened'), words
    if does in ('out', 'opened'):
        expect_file(other if does == 'out' else page_of_txt, page)
        os.remove(other if does == 'out' else page_of_txt)
    assert env.opened(wait=does == 'opened') == ([env.prog(page_of_txt)] if does == 'opened' else []), words
    if does == 'opened':
        os.remove(log)


@case('text', runners=('native',))
def help_that_cannot_be_printed_fails(env):
    favorites_and_desktop(env)
    txt = env.write('notes.txt', b'http://a.example/\r\n')
    for words in ([b'--help'], [b'--version'], [b'-o', b'-', env.prog(txt)]):
        assert guarded_run(env, words, stdout=b'/dev/full') == 1, words


@case('favorites')
def release_sample_profile(env):
    fav, page = favorites_and_desktop(env)
    env.write('fav', 'x.url', b'URL=http://x/\n')
    sample = windows_text(sample_text())
    example = re.search(rb'\r\n\[kobu\]\r\n;(html=[^\r]*)\r\n$', sample)
    assert example, 'the sample ends in a [kobu] section with a commented-out html= line'

    env.config(sample)  # as it is: every setting commented out
    assert guarded_run(env, written=[page]) == 0
    expect_file(page, expected_favorites(env, fav))
    os.remove(page)

    target = os.path.join(env.mkdir('pages'), b'favorites.html')
    env.config(sample.replace(b';' + example.group(1), b'html=' + env.prog(target)))
    assert guarded_run(env, written=[target]) == 0
    expect_file(target, expected_favorites(env, fav))

    env.config(sample.replace(b';' + example.group(1), b'html='))  # as the sample warns: nowhere to write
    assert guarded_run(env) == 1
