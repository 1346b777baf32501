#!/usr/bin/python3
"""A HELO-only SMTP server (RFC 821, no extensions) for the mail tests.

Usage: helo_server.py PORT DIR

EHLO is answered "500 command not recognized", as servers from before RFC
1869 do; HELO, MAIL, RCPT, DATA, RSET, NOOP and QUIT work; AUTH is unknown
(500). Every byte a client sends goes to DIR/stream.bin, one JSON line per
accepted message to DIR/messages.jsonl (the recorder's format); prints
"ready" once listening.
"""
import base64
import json
import os
import signal
import socket
import sys
import threading


def serve(conn, directory, lock):
    def record(data):
        with lock, open(os.path.join(directory, "stream.bin"), "ab") as f:
            f.write(data)

    def reply(text):
        conn.sendall(text.encode() + b"\r\n")

    reply("220 127.0.0.1 old-smtpd ready")
    pending = b""
    greeted = False
    sender = None
    rcpts = []
    while True:
        while b"\r\n" not in pending:
            data = conn.recv(4096)
            if not data:
                return
            record(data)
            pending += data
        line, pending = pending.split(b"\r\n", 1)
        verb = line.split(b" ", 1)[0].upper()
        if verb == b"HELO":
            greeted = True
            sender, rcpts = None, []
            reply("250 127.0.0.1")
        elif verb == b"QUIT":
            reply("221 bye")
            return
        elif verb == b"NOOP":
            reply("250 OK")
        elif verb == b"RSET":
            sender, rcpts = None, []
            reply("250 OK")
        elif not greeted:
            reply("503 send HELO first" if verb in (b"MAIL", b"RCPT", b"DATA") else "500 command not recognized")
        elif verb == b"MAIL":
            if sender is not None:
                reply("503 nested MAIL command")
            else:
                sender = line[10:].strip(b"<> ").decode()
                reply("250 OK")
        elif verb == b"RCPT":
            address = line[8:].strip(b"<> ").decode()
            if sender is None:
                reply("503 need MAIL")
            elif address.startswith("refused"):
                reply("550 no such user")
            else:
                rcpts.append(address)
                reply("250 OK")
        elif verb == b"DATA":
            if not rcpts:
                reply("503 need RCPT")
                continue
            reply("354 go ahead")
            while b"\r\n.\r\n" not in b"\r\n" + pending:
                data = conn.recv(4096)
                if not data:
                    return
                record(data)
                pending += data
            buf = b"\r\n" + pending
            at = buf.index(b"\r\n.\r\n")
            content = buf[2:at] + b"\r\n" if at >= 2 else b""
            pending = buf[at + 5:]
            entry = {"from": sender, "rcpt": rcpts, "authenticated": False,
                     "content": base64.b64encode(content).decode()}
            with lock, open(os.path.join(directory, "messages.jsonl"), "a") as f:
                f.write(json.dumps(entry) + "\n")
            sender, rcpts = None, []
            reply("250 OK")
        else:
            # EHLO and AUTH among them: this server knows none of the extensions.
            reply("500 command not recognized")


def main():
    port = int(sys.argv[1])
    directory = sys.argv[2]
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", port))
    server.listen(5)
    lock = threading.Lock()
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    print("ready", flush=True)
    while True:
        conn, _ = server.accept()
        threading.Thread(target=serve, args=(conn, directory, lock), daemon=True).start()


if __name__ == "__main__":
    main()
