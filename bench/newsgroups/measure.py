#!/usr/bin/env python3
"""Helpers for run.sh: make a LIST reply, serve it on loopback, time a command.

  measure.py make FILE LINES          write a LIST reply body of LINES groups (no status line)
  measure.py serve FILE PORTFILE      answer NNTP on 127.0.0.1 with FILE as the LIST reply
  measure.py time LOG CMD...          run CMD with its output to LOG, print "seconds peak_kib"
                                      (peak of its largest process)
"""
import os
import random
import socket
import sys
import time


def make(path, lines):
    rng = random.Random(1)
    words = ["binaries", "pictures", "comp", "lang", "sci", "misc", "test", "sounds",
             "Multimedia", "Games", "linux", "os", "discuss", "answers", "forsale"]
    tops = ["alt", "comp", "rec", "sci", "soc", "talk", "news", "misc", "de", "fr", "it", "uk",
            "Alt", "3dfx", "z"]
    with open(path, "w", newline="") as out:
        batch = []
        for i in range(lines):
            name = "%s.%s.%s.%d" % (rng.choice(tops), rng.choice(words), rng.choice(words),
                                    rng.randrange(10 ** 7))
            batch.append("%s %010d %010d y\r\n" % (name, rng.randrange(10 ** 9), 1))
            if len(batch) == 10000:
                out.write("".join(batch))
                batch = []
        out.write("".join(batch))


def serve(path, portfile):
    with open(path, "rb") as f:
        body = f.read()
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    with open(portfile + ".tmp", "w") as f:
        f.write(str(listener.getsockname()[1]))
    os.rename(portfile + ".tmp", portfile)
    while True:
        conn, _ = listener.accept()
        conn.sendall(b"200 bench server ready\r\n")
        reader = conn.makefile("rb")
        for line in reader:
            verb = line.split(b" ")[0].strip().upper()
            if verb == b"LIST":
                conn.sendall(b"215 list follows\r\n")
                conn.sendall(body)
                conn.sendall(b".\r\n")
            elif verb == b"MODE":
                conn.sendall(b"200 reader\r\n")
            elif verb == b"QUIT":
                conn.sendall(b"205 bye\r\n")
                break
            else:
                conn.sendall(b"500 what?\r\n")
        reader.close()
        conn.close()


def timed(log, cmd):
    start = time.monotonic()
    pid = os.fork()
    if pid == 0:
        fd = os.open(log, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
        os.dup2(fd, 1)
        os.dup2(fd, 2)
        os.execvp(cmd[0], cmd)
    _, status, usage = os.wait4(pid, 0)
    elapsed = time.monotonic() - start
    if status != 0:
        sys.exit("command failed: %s (output in %s)" % (" ".join(cmd), log))
    print("%.3f %d" % (elapsed, usage.ru_maxrss))


if __name__ == "__main__":
    what = sys.argv[1]
    if what == "make":
        make(sys.argv[2], int(sys.argv[3]))
    elif what == "serve":
        serve(sys.argv[2], sys.argv[3])
    elif what == "time":
        timed(sys.argv[2], sys.argv[3:])
