#!/usr/bin/env python3
"""Packs the page into one self-contained file that plays when opened straight
from a file manager (no server: browsers refuse a file:// page its fetches).

    tools/web/single_file.py SITEDIR OUT.html

SITEDIR is the page as tools/web/build.sh lays it out. The runtime (zoduv.js),
the WebAssembly and every file of files.txt go into index.html as base64 in
script elements that never run (type application/octet-stream); the page's own
loader decodes them instead of fetching. Base64 keeps the HTML parser away from
anything in the runtime that would end a script element early.
"""
import base64
import html
import os
import sys

# The line of index.html that the packed data replaces.
MARKER = '<!-- packed data of zoduv.html (tools/web/single_file.py) -->'


def block(element_id, css_class, data, attributes=''):
    ident = f' id="{element_id}"' if element_id else ''
    klass = f' class="{css_class}"' if css_class else ''
    return (f'<script type="application/octet-stream"{ident}{klass}{attributes}>' +
            base64.b64encode(data).decode('ascii') + '</script>\n')


def read(path):
    with open(path, 'rb') as f:
        return f.read()


def main():
    if len(sys.argv) != 3:
        sys.exit('usage: single_file.py SITEDIR OUT.html')
    site, out = sys.argv[1], sys.argv[2]
    page = read(os.path.join(site, 'index.html')).decode('utf-8')
    if page.count(MARKER) != 1:
        sys.exit(f'single_file.py: index.html must hold the line {MARKER} exactly once')

    parts = [block('zoduv-packed-runtime', '', read(os.path.join(site, 'zoduv.js'))),
             block('zoduv-packed-wasm', '', read(os.path.join(site, 'zoduv.wasm')))]
    with open(os.path.join(site, 'files.txt'), encoding='utf-8') as listing:
        for line in listing:
            line = line.rstrip('\n')
            if not line.strip():
                continue
            size, path = line.split(' ', 1)
            data = read(os.path.join(site, path))
            if len(data) != int(size):
                sys.exit(f'single_file.py: {path} holds {len(data)} bytes, files.txt says {size}')
            parts.append(block('', 'zoduv-packed-asset', data,
                               f' data-path="{html.escape(path)}" data-size="{len(data)}"'))

    packed = page.replace(MARKER, ''.join(parts))
    # Written beside its name and renamed, so a failed run leaves no half page.
    partial = out + '.part'
    with open(partial, 'w', encoding='utf-8') as f:
        f.write(packed)
    os.replace(partial, out)


if __name__ == '__main__':
    main()
