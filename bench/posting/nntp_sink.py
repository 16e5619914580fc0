#!/usr/bin/env python3
"""A news server on loopback that takes every POST and throws the article away.

Prints the port it listens on, then serves until killed. Each article is read through one
reused buffer and only searched for its end, so the sink costs little next to the poster.
On exit it prints how many articles and bytes it took to standard error.
"""
import signal
import socket
import sys
import threading

END = b"\r\n.\r\n"
counts = {"articles": 0, "bytes": 0}
lock = threading.Lock()


def reply(conn, text):
    conn.sendall(text.encode() + b"\r\n")


def serve(conn):
    # Replies go out at once: a reply held back for coalescing would stall any poster.
    conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    with conn:
        reply(conn, "200 sink ready (posting ok)")
        buf = bytearray(1 << 20)
        view = memoryview(buf)
        pending = b""       # command bytes not yet ended by CR LF
        in_article = False
        tail = b""          # the last bytes of the article so far, for an end split over reads
        got = 0
        while True:
            n = conn.recv_into(buf)
            if n == 0:
                return
            data = bytes(view[:n])
            while data:
                if in_article:
                    chunk = tail + data
                    end = chunk.find(END)
                    if end < 0:
                        got += len(data)
                        tail = chunk[-4:]
                        data = b""
                        continue
                    got += end + 5 - len(tail)
                    data = chunk[end + 5:]
                    in_article = False
                    with lock:
                        counts["articles"] += 1
                        counts["bytes"] += got
                    reply(conn, "240 article received")
                    continue
                pending += data
                data = b""
                while not in_article and b"\r\n" in pending:
                    line, pending = pending.split(b"\r\n", 1)
                    word = line.split(b" ", 1)[0].upper()
                    if word == b"POST":
                        reply(conn, "340 send article")
                        in_article, tail, got = True, b"\r\n", 0
                        data, pending = pending, b""
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
        print(f"sink: {counts['articles']} articles, {counts['bytes']} bytes", file=sys.stderr,
              flush=True)
        sys.exit(0)

    signal.signal(signal.SIGTERM, done)
    while True:
        conn, _ = server.accept()
        threading.Thread(target=serve, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    main()
