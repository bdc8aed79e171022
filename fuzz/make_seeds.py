#!/usr/bin/env python3
"""Writes the seed corpora in fuzz/corpus/ from the inputs the tests use.

Run it again after the tests gain inputs worth starting from; the files it
writes are kept in the repository, next to any crash inputs added by hand.
"""
import pathlib
import re

FUZZ = pathlib.Path(__file__).resolve().parent
ROOT = FUZZ.parent
CORPUS = FUZZ / "corpus"


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("latin-1")
    (folder / name).write_bytes(data)


# --- AGW stream -----------------------------------------------------------
# Layout of a fuzz_agw input: count of read bytes, the reads, the stream. A
# read byte below 112 reads that many bytes plus one, 112..126 read 128 <<
# (x - 112), 127 resets; 0x80 added reads through prepare()/commit().

def frame(kind, call, data):
    if isinstance(data, str):
        data = data.encode("latin-1")
    header = bytearray(36)
    header[4] = ord(kind)
    call = call.encode("latin-1")[:10]
    header[8:8 + len(call)] = call
    header[28] = len(data) & 0xFF
    header[29] = (len(data) >> 8) & 0xFF
    return bytes(header) + data


def monitor(call, info, via="", to="APRS"):
    """A monitored frame's data as Direwolf lays it out."""
    path = f" Via {via}" if via else ""
    return (f" 1:Fm {call} To {to}{path} <UI pid=F0 Len={len(info)} PF=0 >[12:00:00]\r"
            f"{info}\r\0")


def agw(reads, stream):
    assert len(reads) < 256
    return bytes([len(reads)]) + bytes(reads) + stream


def appended(n):
    """A read of exactly n bytes (1..112), into room of exactly its size."""
    assert 1 <= n <= 112
    return n - 1


def prepared(n):
    """The same through prepare()/commit()."""
    return 0x80 | appended(n)


def reads_of(n):
    """Reads that take exactly n bytes, in pieces of at most 112."""
    reads = []
    while n > 112:
        reads.append(appended(112))
        n -= 112
    return reads + [appended(n)]


RESET = 127
LARGE = 112 + 5  # 4096 bytes


VERSION = frame("R", "", b"\xD0\x07\x00\x00\x4E\x00\x00\x00")
WX = "_10090556c220s004g005t077r000p000P000h50b09900"
WX_POS = "!4530.12N/00912.34E_180/005g010t068r000p000P000h55b10132"
NOT_WX = "!4530.12N/00912.34E>Mobile"
MESSAGE = ":IK1ABC   :hello{01"


def write_agw():
    wx = frame("U", "IW2OHX-13", monitor("IW2OHX-13", WX))
    wxpos = frame("U", "IZ2WXB", monitor("IZ2WXB", WX_POS, via="WIDE1-1,WIDE2-1", to="APDW16"))
    mobile = frame("U", "IK1ABC-9", monitor("IK1ABC-9", NOT_WX))
    sent = frame("T", "N0CALL", monitor("N0CALL", MESSAGE))
    empty = frame("U", "EMPTY", "")
    other = frame("u", "OTHER", "ignored")
    long_call = frame("U", "ABCDEFGHIJ", monitor("ABCDEFGHIJ", WX))
    stream = VERSION + wx + wxpos + mobile + sent + empty + other + long_call

    write("agw", "version-and-monitored-whole", agw([], stream))
    # Header split at every early byte, then in pieces that end inside frames.
    write("agw", "split-in-headers", agw([appended(1)] * 8 + [appended(20), appended(8),
                                          appended(100)] + [prepared(37)] * 6, stream))
    write("agw", "one-byte-reads", agw([appended(1)] * 200, wx + sent))
    write("agw", "frame-by-frame", agw(reads_of(len(VERSION)) + reads_of(len(wx)) +
                                       [prepared(len(empty))], VERSION + wx + empty + sent))
    # A new connection in the middle of a frame: its tail must not complete
    # the next connection's bytes.
    write("agw", "reset-inside-a-frame", agw([appended(50), RESET], wx + sent))
    # A header announcing more than 65 535 bytes breaks the stream; a reset
    # starts a new one.
    bad = bytearray(frame("U", "BAD", ""))
    bad[30] = 1
    write("agw", "broken-then-reset",
          agw(reads_of(len(wx) + 36) + [RESET], wx + bytes(bad) + wx))
    write("agw", "broken-header-byte31", agw([], wx + bytes(bad[:31]) + b"\x01" + bytes(bad[32:])))
    big = frame("U", "BIG", "x" * 4000 + "\r" + monitor("BIG", WX))
    write("agw", "big-frame-prepared", agw([prepared(40), 0x80 | LARGE], big + sent))
    write("agw", "incomplete-tail", agw([], wx + sent[:50]))
    write("agw", "http-peer", agw([], b"HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n"))
    lines = frame("U", "LINES", "\r\r one\r\rtwo\n\0\rthree")
    write("agw", "line-ends", agw([], lines + frame("T", "", "\r") + frame("U", "X", "_")))


# --- Settings -------------------------------------------------------------

SETTINGS = {
    "written-by-shutdown": '"10.0.0.5","/opt/brez",-10,20,5000,3000,#TRUE#\r\n',
    "default-record": '"localhost","Orbetti.exe",0,0,4900,2950,"#FALSE#"\r\n',
    "quoted-true": '"h","p",1,2,3,4,"#TRUE#"',
    "lower-case-literal": '"h","p",1,2,3,4,#true#',
    "after-seventh": '"h","p",1,2,3,4,#TRUE#,junk,"more\r\n',
    "separate-lines": '"h"\r\n"p"\r\n1\r\n2\r\n3\r\n4\r\n#TRUE#\r\n',
    "comma-in-path": '"h","C:\\a,b\\x.exe",1,2,3,4,#FALSE#',
    "blanks-around-address": '" host ","p",1,2,3,4,#FALSE#',
    "fewer-values": '"h","p",1,2\r\n',
    "text-for-number": '"h","p",1,abc,3,4,#TRUE#',
    "limits": '"h","p",-2147483648,2147483647,+3,007,#TRUE#',
    "over-limit": '"h","p",-2147483649,2147483648,3,4,#TRUE#',
    "decimal-point": '"h","p",1.5,2,3,4,#TRUE#',
    "empty-number": '"h","p",,2,3,4,#TRUE#',
    "not-boolean": '"h","p",1,2,3,4,yes',
    "unclosed-quote": '"h","p,1,2,3,4,#TRUE#',
    "unquoted-with-quote": ' ho"st\t, p"a\r\n1 ,\t2,3 , 4,#FALSE# \n',
    "field-shapes": 'A,,B\rC\nD\r\n"x"junk,"a\r\nb",\0\xC4\xFF,   ,\r\n',
}


# --- Station lists --------------------------------------------------------

LISTS = {
    "written-list": "IK1ABC\r\nIK2DEF-13\r\n",
    "no-last-line-end": "IK1ABC\r\nIK2DEF",
    "lone-lf": "IK1ABC\nIK2DEF\n",
    "lone-cr": "IK1ABC\rIK2DEF\r",
    "blank-lines": "IK1ABC\r\n\r\nIK2DEF\r\n\r\n",
    "blanks-around": "  IK1ABC \t\r\n\tIK2DEF\r\n",
    "quoted": '"IK1ABC"\r\n"IK2,DEF"\r\n" IK3X "\r\n"IK4Y"junk\r\n',
    "quote-inside": 'IK1"AB\r\n',
    "two-on-a-line": "IK1ABC,IK2DEF\r\nIK3GHI,\r\nIK4JKL\r\n",
    "duplicates": "IK1ABC\r\nIK2DEF\r\nIK1ABC\r\n",
    "lengths": "ABC\r\nIK1ABC-15\r\nAB\r\n",
    "too-long": "IK1ABCD-15\r\n",
    "nul-and-high-bytes": "IK\0ABC\r\n\xC4\xD6\xDC\xFF\r\n",
    "unclosed-quote": 'IK1ABC\r\n"IK2DEF\r\nIK3GHI\r\n',
    "unclosed-after-closed": '"IK1ABC"\r\n"IK2',
    "long-entry": "IK1ABC\r\n" + "X" * 300 + "\r\n",
}


# --- RTF ------------------------------------------------------------------

def write_rtf():
    write("rtf", "Leggimi_Quintaro.rtf", (ROOT / "Leggimi_Quintaro.rtf").read_bytes())
    source = (ROOT / "tests/help/tst_rtfreader.cpp").read_text(encoding="utf-8")
    count = 0
    # The rows written as raw string literals: row("name", R"(...)", ...).
    for match in re.finditer(r'row\("([^"]+)",\s*R"\((.*?)\)"', source, re.S):
        name = re.sub(r"[^a-z0-9]+", "-", match.group(1).lower()).strip("-")
        write("rtf", f"row-{name}", match.group(2).encode("utf-8"))
        count += 1
    assert count > 50, "the RTF test rows were not found"
    extra = {
        "plain-utf8": "Ciao\nmondo \u00e8\r\n\ufeffx\tfine".encode("utf-8"),
        "plain-1252": b"Citt\xe0 \x80 \x93x\x94\r\n\x01\x02",
        "bom": b"\xef\xbb\xbfText",
        "overlong-utf8": b"\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80",
        "backslash-line-end": b"{\\rtf1 A\\\nB\\\rC}",
        "binary-braces": b"{\\rtf1{\\pict\\bin3 }{}}Shown}",
        "deep-nesting": b"{\\rtf1" + b"{\\b" * 300 + b"x" + b"}" * 300 + b"}",
        "colour-and-font-tables": (b"{\\rtf1\\ansi\\ansicpg1250\\deff0{\\fonttbl{\\f0\\fcharset238 "
                                   b"Arial CE;}{\\f1\\fcharset2 Symbol;}}{\\colortbl;\\red255"
                                   b"\\green0\\blue0;}\\f0\\cf1\\fs40 \\'9a\\'e8{\\f1\\'b7}\\par}"),
        "unicode-mix": b"{\\rtf1\\uc1\\u-10179?\\u-8694?\\u8364?\\u233\\'e9{\\uc0\\u65}\\~\\_\\-}",
    }
    for name, data in extra.items():
        write("rtf", name, data)

# --- Weather reports ------------------------------------------------------

def c_string(text):
    """The bytes of a C++ string literal's body."""
    return text.encode("latin-1").decode("unicode_escape").encode("latin-1")


def write_weather():
    source = (ROOT / "tests/weather/tst_WeatherReport.cpp").read_text(encoding="utf-8")
    count = 0
    # The decoder's table: newRow("name") << QByteArray("...") (string pieces
    # on several lines are joined, as the compiler does).
    for match in re.finditer(r'newRow\("([^"]+)"\)\s*<<\s*QByteArray\(((?:\s*"(?:[^"\\]|\\.)*")+)',
                             source):
        name = re.sub(r"[^a-z0-9]+", "-", match.group(1).lower()).strip("-")
        pieces = re.findall(r'"((?:[^"\\]|\\.)*)"', match.group(2))
        write("weather", f"row-{name}", b"".join(c_string(p) for p in pieces))
        count += 1
    assert count > 30, "the weather test rows were not found"
    extra = {
        "every-key": "_01010000c090s010g015t-05r001p020P030h00b10132L850l123s5.5#123F-042X123V128tU2k",
        "position-every-key": "=4903.50N/07201.75W_220/004g005t077r001p002P003h99b10132L999s002#010",
        "compressed-every-key": "=/5L!!<*e7_7P[g005t077r001p002P003h99b10132l010s1.5",
        "object-dots": ";WX HLI   *202926z4945.83N/01555.30E_.../...g...t...r...p...P...h..b.....",
        "item-blanks": ")WX1!4903.50N/07201.75W_   /   g   t   r   p   P   h  b     ",
    }
    for name, data in extra.items():
        write("weather", name, data)


def main():
    write_agw()
    for name, data in SETTINGS.items():
        write("settings", name, data)
    for name, data in LISTS.items():
        write("stationlist", name, data)
    write_rtf()
    write_weather()


if __name__ == "__main__":
    main()
