"""What the two pages must hold, built from their formats, and a model of
the reading rules used to predict them from the files on disk."""
import codecs
import os
import re
import stat

FAVORITES_HEAD = (
    b'<html>\n<head>\n'
    b'<meta http-equiv="content-type" content="text/html; charset=shift_jis">\n'
    b'<meta http-equiv="content-style-type" content="text/css">\n'
    b'<meta name="generated" content="kobu.exe">\n'
    b'<title>\x82\xa8\x8bC\x82\xc9\x93\xfc\x82\xe8</title>\n'
    b'<style type="text/css"><!--\n'
    b'\tbody{color:#333333;background-color:#ffffff;padding:2em 1em 2em 1.5em;border-left:solid 2em #669900}\n'
    b'\ta{text-decoration:none} a:link{color:#006600} a:visited{color:#003300} '
    b'a:hover{color:#ff00cc;text-decoration:underline} a:active{color:#ff00cc;background-color:#ffffcc}\n'
    b'\tli{list-style:square inside}\n'
    b'\tdiv.dir{margin:1em 0px 0px 4em;padding:0.1em;border-top:solid 0.1em #669900}\n'
    b'\tspan.dir{color:#669900;font-weight:bold;font-size:150%}\n'
    b'\th1{margin:0px;padding:0px;color:#669900;font-weight:bold;font-size:150%}\n'
    b'\thr{color:#003333;height:1px; margin:0.4em 2em}\n'
    b'--></style>\n</head>\n<body>\n')
FAVORITES_FOOT = b'</body>\n</html>'

LINKS_HEAD = (
    b'<html>\n<head>\n'
    b'<meta http-equiv="content-type" content="text/html; charset=shift_jis">\n'
    b'<meta http-equiv="content-style-type" content="text/css">\n'
    b'<meta name="generated" content="kobu.exe">\n'
    b'<title>\x83\x8a\x83\x93\x83N\x8fW</title>\n'
    b'<style type="text/css"><!--\n'
    b'\tbody{color:#333333; background-color:#cccccc; margin:2em; font-family:monospace}\n'
    b'\ta{text-decoration:none} a:link{color: #006600} a:visited{color: #003300} a:hover{color: #ff00cc} '
    b'a:active{color: #ff00cc; background-color:#ffffcc}\n'
    b'\th1{color:#669900; background-color:#ffffcc; font-size:120%; font-weight:bold; width:100%; '
    b'border:none; padding:0.4em; text-align:center; border:solid 2px #669900}\n'
    b'\tul{padding:0em;margin-top:0.2em;margin-bottom:0.2em}\n'
    b'\tli{white-space:nowrap}\n'
    b'\thr{color:#669900; height:2px}\n'
    b'--></style>\n</head>\n<body>\n')
LINKS_HEADING_TAIL = b' \x82\xa9\x82\xe7\x92\x8a\x8fo\x82\xb3\x82\xea\x82\xbdURL</h1>\n<ul>\n'
LINKS_FOOT = b'</ul>\n<hr>\n</body>\n</html>'

URL_DELIMITERS = b'"\\\'|*`^><}{)(}{'
LINE_MAX = 5119


def crlf(text):
    return text.replace(b'\n', b'\r\n')


def html(text):
    """Outside text as the pages write it: & < > " as entities, every other byte as it is."""
    return (text.replace(b'&', b'&amp;').replace(b'<', b'&lt;').replace(b'>', b'&gt;')
            .replace(b'"', b'&quot;'))


def shown(name):
    """A name or path as the pages show it: escaped, each control (C0, DEL, a lone 0x80) as &#65533;."""
    return re.sub(rb'[\x81-\x9f\xe0-\xfc][^\x00-\x1f\x7f]|([\x00-\x1f\x7f\x80])',
                  lambda m: b'&#65533;' if m.group(1) else m.group(0), html(name))


def favorites_page(root, body):
    return crlf(FAVORITES_HEAD + b'<h1>' + shown(root) + b'</h1>\n<div>\n' + body + FAVORITES_FOOT)


def links_page(input_path, items):
    return crlf(LINKS_HEAD + b'<h1>' + shown(input_path) + LINKS_HEADING_TAIL + items + LINKS_FOOT)


def shortcut_item(address, title):
    return b'<li><a href="' + html(address) + b'">' + shown(title) + b'</a></li>\n'


def section(name):
    return b'<div class="dir"><span class="dir">' + shown(name) + b'</span>\n'


def link_item(scheme, address):
    return b'<li><a href="' + scheme + html(address) + b'">' + scheme + html(address) + b'</a></li>\n'


# ---- reading rules --------------------------------------------------------

def reads(data):
    """The reads a file yields: CR LF folded, at most 5119 bytes each."""
    out, i = [], 0
    while i < len(data):
        window = data[i:i + LINE_MAX + 1]
        k = window.find(b'\n')
        if k >= 0:
            take, line = k + 1, window[:k + 1]
            if k >= 1 and window[k - 1] == 0x0D:
                line = window[:k - 1] + b'\n'
            if len(line) > LINE_MAX:
                take, line = LINE_MAX, window[:LINE_MAX]
        else:
            take = min(len(window), LINE_MAX)
            line = window[:take]
        out.append(line)
        i += take
    return out


def decoded(data):
    """(text, encoding) the reader takes a file as: its byte-order mark passed over, UTF-16 as UTF-8."""
    for mark, encoding in ((b'\xef\xbb\xbf', 'utf-8'), (b'\xff\xfe', 'utf-16-le'), (b'\xfe\xff', 'utf-16-be')):
        if data.startswith(mark):
            text = data[len(mark):]
            return (text if encoding == 'utf-8' else text.decode(encoding, 'replace').encode('utf-8')), encoding
    return data, None


def is_utf8(read, continues):
    """Well-formed UTF-8 but for a character cut at the end, or (continues) at the start."""
    n = 0
    while continues and n < min(3, len(read)) and read[n] & 0xC0 == 0x80:
        n += 1
    try:
        codecs.getincrementaldecoder('utf-8')().decode(read[n:], final=False)
        return True
    except UnicodeDecodeError:
        return False


def as_address(text):
    """UTF-8 as a browser sends it: every byte outside printable ASCII as %XX."""
    return b''.join(bytes([c]) if 0x20 <= c < 0x7F else b'%%%02X' % c for c in text)


def c_string(read):
    return read.split(b'\0', 1)[0]


def shortcut_address(data):
    text, encoding = decoded(data)
    address, unicode_section = None, False
    for r in reads(text):
        v, line = c_string(r), c_string(r).strip()
        if line.startswith(b'[') and b']' in line:
            unicode_section = line[1:line.rindex(b']')].strip().lower() == b'internetshortcut.w'
            continue
        if v.startswith(b'URL=') or (unicode_section and v[:4].upper() == b'URL='):
            ansi_key, v = v.startswith(b'URL='), v[4:-1] if v.endswith(b'\n') else v[4:]
            if unicode_section and v.isascii() and v.decode('utf-7', 'replace'):
                return as_address(v.decode('utf-7', 'replace').encode('utf-8'))
            unicode_section = False
            if address is None and ansi_key:
                # UTF-8 (its last character whole) goes as a browser sends it
                address = as_address(v) if encoding or (not v.isascii() and is_utf8(v + b'\n', False)) else v
    return address or b''


def is_lead(b):
    return 0x81 <= b <= 0x9F or 0xE0 <= b <= 0xFC


def find_substring(text, pattern):
    """The Shift_JIS substring search, walked exactly as defined."""
    i = 0
    while i < len(text):
        start = i
        if is_lead(text[i]) and i + 1 < len(text):
            i += 2
            continue  # the patterns used here begin with an ASCII byte
        i += 1
        if text[start] != pattern[0]:
            continue
        rest, t = pattern[1:], i
        k = 0
        while k < len(rest) and t < len(text) and text[t] == rest[k]:
            t += 1
            k += 1
        if k == len(rest):
            return start
        if t >= len(text):
            return -1
    return -1


def is_address_byte(b):
    return 0x21 <= b <= 0x7E and b not in URL_DELIMITERS


def line_addresses(line, utf8=False):
    """(scheme, address) of every address of one read, in the order listed."""
    found = []
    for scheme in (b'http://', b'https://'):
        text = line
        while True:
            p = text.find(scheme) if utf8 else find_substring(text, scheme)
            if p < 0:
                break
            address = text[p + len(scheme):]
            n = 0
            while n < len(address) and is_address_byte(address[n]):
                n += 1
            text = address[n:]
            found.append((scheme, address[:n]))
    return found


def text_addresses(data):
    text, encoding = decoded(data)
    found, continues = [], False
    for r in reads(text):
        found += line_addresses(c_string(r), encoding is not None or is_utf8(c_string(r), continues))
        continues = not r.endswith(b'\n')
    return found


def text_links(data):
    return b''.join(link_item(scheme, address) for scheme, address in text_addresses(data))


def read_shortcut(path):
    """The address a shortcut file yields ('' for anything but a readable regular file)."""
    try:
        if not stat.S_ISREG(os.stat(path).st_mode):
            return b''
        with open(path, 'rb') as f:
            return shortcut_address(f.read())
    except OSError:
        return b''


# ---- the favorites page predicted from a tree on disk --------------------

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
    base = prog_dir[:-1] if prog_dir.endswith(sep) and env.ends_in_separator(prog_dir) else prog_dir
    folder_fits = len(base) + 2 < PATH_BUFFER
    shortcut_fits = len(base) + 6 < PATH_BUFFER
    try:
        entries = env.list_dir(host_dir)
    except OSError:
        entries = []
    def reach(name, path):
        """The path that reaches an entry: by its name, else (Windows) by its 8.3 name, else None."""
        if len(prog_dir) + 1 + len(name) < PATH_BUFFER:
            return prog_dir + sep + name
        short = env.short_name(path)
        return prog_dir + sep + short if short and len(prog_dir) + 1 + len(short) < PATH_BUFFER else None

    out = b''
    if shortcut_fits:
        shortcuts = [e for e in entries if e[0].lower().endswith(b'.url')]
        if shortcuts:
            out += b'<ul>\n'
            for name, path, is_dir in shortcuts:
                if is_dir or reach(name, path) is None:
                    continue
                out += shortcut_item(read_shortcut(path), name[:-4])
            out += b'</ul>\n'
    if folder_fits:
        for name, path, is_dir in entries:
            if not is_dir or name in (b'.', b'..'):
                continue
            reached = reach(name, path)
            if reached is not None:
                out += section(name) + tree_body(env, path, reached, ids)
    return out + b'</div>\n'


def expected_favorites(env, host_root, root_seen=None):
    """The whole favorites page for a listing root, predicted from the disk."""
    seen = env.prog(host_root) if root_seen is None else root_seen
    return favorites_page(seen, tree_body(env, host_root, seen))
