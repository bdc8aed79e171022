#!/usr/bin/env python3
"""A stand-in packet engine for scripts/history-checks.sh: it listens on
127.0.0.1:PORT like an AGWPE engine, takes one client, answers its version
request, then sends monitored weather reports of CALLS stations at RATE a
second until SECONDS have passed or the client is gone. Every report is a
frame of one size, and every information field is new (a sequence number
closes it), so that no report is a digipeated copy of another.

Prints "listening", then "sent N T" after every write and once at the end,
N the frames the kernel took whole so far (not what the client read of
them), T the time in seconds since 1970, so that the count at a given moment
can be looked up afterwards.

    flood-engine.py PORT RATE SECONDS CALLS
"""
import socket
import struct
import sys
import time


def frame(kind, call, data):
    header = bytearray(36)
    header[4] = ord(kind)
    header[8:8 + len(call)] = call
    struct.pack_into("<I", header, 28, len(data))
    return bytes(header) + data


def report(seq, calls):
    call = b"IQ%03d-13" % (seq % calls)
    info = b"_12071836c220s004g008t077r001p010P005h50b10132 #%08d" % seq
    # Direwolf's layout: the header line, the information field, each ended
    # by a carriage return, then a NUL.
    data = (b" 1:Fm " + call + b" To APWX01 <UI pid=F0 Len=%d PF=0 >[18:36:00]\r" % len(info) +
            info + b"\r\0")
    return frame("U", call, data)


def main():
    port, rate, seconds, calls = (int(a) for a in sys.argv[1:5])
    listener = socket.create_server(("127.0.0.1", port))
    print("listening", flush=True)
    listener.settimeout(30)
    link, _ = listener.accept()
    # The client asks for monitoring ('m') and the version ('R'): 36 bytes
    # each, without data.
    asked = b""
    while len(asked) < 72:
        chunk = link.recv(72 - len(asked))
        if not chunk:
            return 1
        asked += chunk
    link.sendall(frame("R", b"", struct.pack("<II", 2005, 127)))

    size = len(report(0, calls))
    bytes_sent = 0
    made = 0
    start = time.monotonic()
    try:
        while time.monotonic() - start < seconds:
            due = int((time.monotonic() - start) * rate)
            pending = b"".join(report(seq, calls) for seq in range(made, due))
            made = max(made, due)
            while pending:
                n = link.send(pending)
                bytes_sent += n
                pending = pending[n:]
            print("sent", bytes_sent // size, "%.3f" % time.time(), flush=True)
            time.sleep(0.01)
    except OSError:
        pass  # the client is gone
    print("sent", bytes_sent // size, "%.3f" % time.time(), "frame", size, flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
