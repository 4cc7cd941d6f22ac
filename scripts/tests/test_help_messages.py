"""Every message text the program can show appears in help/messages.html.

The texts are read from the program's sources, not kept here: each string literal of the
product code (adjacent literals joined, as the compiler joins them) is cut at its line breaks,
and every piece of two words or more must appear in the page's text, word for word. A new
message therefore fails this test until the page lists it.

Not messages, and so not read: the window and About box designs (*_design.cpp: captions and
tooltips), and the descriptions of run-time and system errors (platform/runtime_error.cpp,
platform/win32/win32_*), which messages quote after "Run-time error 'N':" or "Reason:" and
the page explains as such. A piece holding a backslash is a path (a registry key), and one
holding a printf conversion a format (the log's time stamp), not text.
"""
import html
import os
import re
import unittest

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
SOURCE_FOLDERS = ("app", "about", "backup", "selection", "platform")
SOURCE_FILES = ("azip32/azip32.h",)  # azipResultText: the library's results in words
SKIPPED = re.compile(r"(_design\.cpp$|^platform/runtime_error\.cpp$|^platform/win32/win32_)")
# azipResultText(AZIP_OK): a backup gives a reason only for a failure.
NEVER_SHOWN = {
    "the archive was written and checked",
    # The open dialog's filter list: the user sees only its names, which the page quotes.
    "Backups (*.zip, *.dat, *.idx)|*.zip;*.dat;*.idx|All files (*.*)|*.*",
    # Programming errors: a window's table of controls or forms that does not match its
    # design, which the tests catch before any user could see it.
    "the About box's design has no",
    "the check window's design has no",
    "the main window's design has no",
    "the progress window's design has no",
    # The window starts one piece of work at a time; a second is a programming error.
    "a second piece of work was started while one was running",
    "this form has no window",
    # The file system's conveniences describe the system errors they raise in the system's
    # own words, as platform/win32/win32_* does: quoted after "Reason:".
    "Path not found:",
    "File not found:",
    "This is a folder, not a file:",
}

ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"', "'": "'", "0": "\0"}
TOKEN = re.compile(r'//[^\n]*|/\*.*?\*/|R"([^(]*)\((.*?)\)\1"|"(?:[^"\\\n]|\\.)*"|'
                   r"'(?:[^'\\\n]|\\.)*'|\s+|.", re.S)


def source_files():
    paths = list(SOURCE_FILES)
    for folder in SOURCE_FOLDERS:
        for dirpath, _, names in os.walk(os.path.join(ROOT, folder)):
            for name in names:
                if name.endswith((".cpp", ".h")):
                    paths.append(os.path.relpath(os.path.join(dirpath, name), ROOT))
    return sorted(p.replace(os.sep, "/") for p in paths if not SKIPPED.search(p.replace(os.sep, "/")))


def decode(literal):
    return re.sub(r"\\(.)", lambda m: ESCAPES.get(m.group(1), m.group(1)), literal[1:-1])


def string_literals(text):
    """The program's string literals, adjacent ones joined; comments and characters skipped."""
    literals, current = [], None
    for match in TOKEN.finditer(text):
        token = match.group(0)
        if token.startswith("R\""):
            piece = match.group(2)
        elif token.startswith('"'):
            piece = decode(token)
        elif token.isspace() or token.startswith(("//", "/*")):
            continue
        else:
            if current is not None:
                literals.append(current)
            current = None
            continue
        current = piece if current is None else current + piece
    if current is not None:
        literals.append(current)
    return literals


def shown_pieces(literal):
    for line in re.split(r"[\r\n]+", literal):
        piece = " ".join(line.split())
        if " " not in piece or not re.search("[A-Za-z]", piece) or "\\" in piece:
            continue
        if piece not in NEVER_SHOWN and not re.search(r"%\d*l?[dsux]", piece):  # not a format
            yield piece


def page_text(path):
    with open(path, encoding="cp1252") as f:
        text = re.sub(r"<[^>]*>", " ", f.read())
    return " ".join(html.unescape(text).replace("\xa0", " ").split())


class HelpListsEveryMessage(unittest.TestCase):
    def test_every_message_text_is_in_the_messages_page(self):
        page = page_text(os.path.join(ROOT, "help", "messages.html"))
        missing = []
        for path in source_files():
            with open(os.path.join(ROOT, path), encoding="utf-8") as f:
                for literal in string_literals(f.read()):
                    missing += [f"{path}: {piece}" for piece in shown_pieces(literal)
                                if piece not in page]
        self.assertEqual(missing, [], "texts the program shows that help/messages.html lacks")

    def test_the_reader_finds_messages_split_over_lines_and_skips_comments(self):
        code = ('// "not a message here"\nf("The file " + name +\n  " could not " /* x */\n'
                '  "be read.\\r\\nReason: ", \'"\');')
        self.assertEqual(string_literals(code), ["The file ", " could not be read.\r\nReason: "])
        self.assertEqual([p for l in string_literals(code) for p in shown_pieces(l)],
                         ["The file", "could not be read."])


if __name__ == "__main__":
    unittest.main()
