#!/usr/bin/env python3
"""A news server on loopback that takes every POST and throws the article away.

Prints the port it listens on, then serves until killed. Each article is read through one
reused buffer and only searched for its end, so the sink costs little next to the poster.
On exit it prints how many articles and bytes it took to standard error. With NNTP_SINK_TIMES
naming a file, each connection appends a line to it when it ends: the seconds from accepting it
to its end and the articles it posted, so posters are timed without their start-up.
"""
import os
import signal
import socket
import sys
import threading
import time

END = b"\r\n.\r\n"
counts = {"articles": 0}
lock = threading.Lock()


def reply(conn, text):
    conn.sendall(text.encode() + b"\r\n")


def serve(conn):
    started = time.monotonic()
    before = counts["articles"]
    try:
        serve_posts(conn)
    finally:
        times = os.environ.get("NNTP_SINK_TIMES")
        if times:
            with lock, open(times, "a") as out:
                out.write(f"{time.monotonic() - started:.6f} {counts['articles'] - before}\n")


def serve_posts(conn):
    # Replies go out at once: a reply held back for coalescing would stall any poster.
    conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    with conn:
        reply(conn, "200 sink ready (posting ok)")
        # Article bytes land after a 4-byte margin that holds the end of the previous read, so
        # an end line split over two reads is still found, and nothing is copied.
        buf = bytearray(4 + (1 << 20))
        view = memoryview(buf)
        pending = b""  # command bytes not yet ended by CR LF
        in_article = False
        while True:
            if in_article:
                n = conn.recv_into(view[4:])
                if n == 0:
                    return
                end = buf.find(END, 0, 4 + n)
                if end < 0:
                    buf[0:4] = buf[n:n + 4]
                    continue
                in_article = False
                with lock:
                    counts["articles"] += 1
                reply(conn, "240 article received")
                pending = bytes(view[end + 5:4 + n])
            else:
                data = conn.recv(65536)
                if not data:
                    return
                pending += data
            while not in_article and b"\r\n" in pending:
                line, pending = pending.split(b"\r\n", 1)
                word = line.split(b" ", 1)[0].upper()
                if word == b"POST":
                    reply(conn, "340 send article")
                    in_article = True
                    # What came with the command is the start of the article.
                    rest, pending = pending, b""
                    buf[0:4] = b"xx\r\n"
                    while rest:
                        end = (bytes(buf[0:4]) + rest).find(END)
                        if end >= 0:
                            in_article = False
                            with lock:
                                counts["articles"] += 1
                            reply(conn, "240 article received")
                            pending = (bytes(buf[0:4]) + rest)[end + 5:]
                            break
                        buf[0:4] = (bytes(buf[0:4]) + rest)[-4:]
                        rest = b""
                elif word == b"QUIT":
                    reply(conn, "205 bye")
                    return
                elif word == b"MODE":
                    reply(conn, "200 sink ready (posting ok)")
                elif word == b"DATE":
                    reply(conn, "111 20260101000000")
                elif word == b"AUTHINFO":
                    reply(conn, "281 ok")
                else:
                    reply(conn, "500 not here")


def main():
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 0))
    server.listen(8)
    print(server.getsockname()[1], flush=True)

    def done(*_):
        print(f"sink: {counts['articles']} articles", file=sys.stderr, flush=True)
        sys.exit(0)

    signal.signal(signal.SIGTERM, done)
    while True:
        conn, _ = server.accept()
        threading.Thread(target=serve, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    main()
