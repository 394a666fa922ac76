"""Pages as a real browser reads them: headless Chromium loads a page from
disk and dumps the document it built (after any script would have run); the
dump is parsed into a small tree that the cases check."""
import html.parser
import os
import shutil
import subprocess
import tempfile
import urllib.parse

VOID = {'meta', 'hr', 'br', 'img', 'input', 'link', 'area', 'base', 'col', 'embed', 'source', 'wbr'}
# Every element and attribute the two pages are made of; anything else came from input.
PAGE_ELEMENTS = {'html', 'head', 'meta', 'title', 'style', 'body', 'h1', 'div', 'ul', 'li', 'a', 'span', 'hr'}
PAGE_ATTRIBUTES = {'http-equiv', 'content', 'name', 'type', 'class', 'href'}
FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--virtual-time-budget=2000']


def chromium():
    return shutil.which('chromium') or shutil.which('chromium-browser')


class Node:
    def __init__(self, tag, attrs, parent):
        self.tag, self.attrs, self.parent, self.children = tag, dict(attrs), parent, []

    def text(self):
        return ''.join(c if isinstance(c, str) else c.text() for c in self.children)

    def elements(self, tag=None):
        """Child elements, of one tag if given."""
        return [c for c in self.children if isinstance(c, Node) and (tag is None or c.tag == tag)]

    def walk(self):
        yield self
        for c in self.elements():
            yield from c.walk()


class Builder(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.root = Node('#document', (), None)
        self.at = self.root
        self.comments = []

    def handle_starttag(self, tag, attrs):
        node = Node(tag, attrs, self.at)
        self.at.children.append(node)
        if tag not in VOID:
            self.at = node

    def handle_endtag(self, tag):
        n = self.at
        while n is not None and n.tag != tag:
            n = n.parent
        if n is not None and n.parent is not None:
            self.at = n.parent

    def handle_data(self, data):
        self.at.children.append(data)

    def handle_comment(self, data):
        self.comments.append(data)


def dom_of(page_path):
    """The document Chromium builds from the page file at host path `page_path`."""
    url = 'file://' + urllib.parse.quote(os.path.abspath(page_path))
    with tempfile.TemporaryDirectory() as profile:
        r = subprocess.run([chromium(), *FLAGS, f'--user-data-dir={profile}', '--dump-dom', url],
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=120)
    assert r.returncode == 0 and r.stdout, f'chromium could not load {page_path!r}'
    b = Builder()
    b.feed(r.stdout.decode('utf-8'))
    b.close()
    return b


def check_made_only_of_the_page(dom):
    """No element or attribute that the page itself does not write: no script, no handler, no comment."""
    for n in dom.root.walk():
        if n.tag == '#document':
            continue
        assert n.tag in PAGE_ELEMENTS, f'element <{n.tag}> came from input'
        for a in n.attrs:
            assert a in PAGE_ATTRIBUTES, f'attribute {a!r} on <{n.tag}> came from input'
    comments = [c for c in dom.comments]
    assert not comments, f'comments came from input: {comments[:3]}'
    titles = [n for n in dom.root.walk() if n.tag == 'title']
    assert len(titles) == 1, 'one title'
    return titles[0].text()


def body_of(dom):
    html_node = dom.root.elements('html')[0]
    return html_node.elements('body')[0]


def section_of(div):
    """(links, subsections) of a page section: links as (href, text), subsections as (heading, links, subsections)."""
    links = []
    subsections = []
    for child in div.elements():
        if child.tag == 'ul':
            for li in child.elements('li'):
                a = li.elements('a')
                assert len(a) == 1, 'one link per list item'
                links.append((a[0].attrs.get('href'), a[0].text()))
        elif child.tag == 'div':
            assert child.attrs.get('class') == 'dir', child.attrs
            spans = child.elements('span')
            assert spans and spans[0].attrs.get('class') == 'dir'
            sub_links, sub_sections = section_of(child)
            subsections.append((spans[0].text(), sub_links, sub_sections))
    return links, subsections


def favorites_of(dom):
    """(title, root heading, links, subsections) of a favorites page."""
    title = check_made_only_of_the_page(dom)
    body = body_of(dom)
    h1 = body.elements('h1')
    divs = body.elements('div')
    assert len(h1) == 1 and len(divs) == 1, 'one heading and one root section'
    links, subsections = section_of(divs[0])
    return title, h1[0].text(), links, subsections


def links_page_of(dom):
    """(title, heading, [(href, text)]) of a links page."""
    title = check_made_only_of_the_page(dom)
    body = body_of(dom)
    h1 = body.elements('h1')
    uls = body.elements('ul')
    assert len(h1) == 1 and len(uls) == 1 and len(body.elements('hr')) == 1
    items = []
    for li in uls[0].elements('li'):
        a = li.elements('a')
        assert len(a) == 1
        items.append((a[0].attrs.get('href'), a[0].text()))
    return title, h1[0].text(), items
