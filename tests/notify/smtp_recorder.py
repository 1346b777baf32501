#!/usr/bin/python3
"""Loopback SMTP server for the mail tests: aiosmtpd as it ships.

Usage: smtp_recorder.py PORT DIR [--silent] [--tls CERT KEY] [--plain-only]

The dialogue is aiosmtpd's own SMTP class with its stock EHLO, HELO, AUTH
(through the package's `authenticator=` API), STARTTLS and RSET handling:
AUTH only after EHLO, as Postfix and Exim do. The handler uses the package's
hooks only: a mailbox named "refused..." is refused at RCPT (550), a message
holding "REJECT-ME" is refused at the end of DATA (554). The one subclass
method copies every byte the client sends to DIR/stream.bin before aiosmtpd
reads it (after STARTTLS the decrypted bytes) and changes nothing else.

Writes one JSON line per accepted message to DIR/messages.jsonl, then prints
"ready". --plain-only offers AUTH PLAIN alone (aiosmtpd's
`auth_exclude_mechanism`). With --silent it accepts connections and never
answers, so every client read times out.
"""
import base64
import json
import os
import signal
import socket
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

USER = b"sender@example.com"
PASSWORD = b"abcdefghijklmnop"


class RecordingSMTP(SMTP):
    """aiosmtpd's SMTP; the received bytes are copied to a file first."""

    def __init__(self, handler, record, **kwargs):
        super().__init__(handler, **kwargs)
        self._record = record

    def data_received(self, data):
        self._record(data)
        super().data_received(data)


class Handler:
    def __init__(self, directory):
        self.directory = directory

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        # A mailbox named "refused..." does not exist here.
        if address.startswith("refused"):
            return "550 5.1.1 <%s>: mailbox unavailable" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        # A message holding this marker is turned away, as a spam filter would.
        if b"REJECT-ME" in envelope.original_content:
            return "554 5.6.0 message rejected"
        entry = {
            "from": envelope.mail_from,
            "rcpt": envelope.rcpt_tos,
            "authenticated": bool(session.authenticated),
            "content": base64.b64encode(envelope.original_content).decode(),
        }
        with open(os.path.join(self.directory, "messages.jsonl"), "a") as f:
            f.write(json.dumps(entry) + "\n")
        return "250 OK"


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = (isinstance(auth_data, LoginPassword)
          and auth_data.login == USER and auth_data.password == PASSWORD)
    # handled=False: aiosmtpd answers a refusal with its own 535.
    return AuthResult(success=ok, handled=False)


class RecordingController(Controller):
    def __init__(self, handler, record, **kwargs):
        self._record_fn = record
        super().__init__(handler, **kwargs)

    def factory(self):
        return RecordingSMTP(self.handler, self._record_fn, **self.SMTP_kwargs)


def silent(port):
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", port))
    server.listen(5)

    def drain(conn):
        while conn.recv(4096):
            pass

    print("ready", flush=True)
    while True:
        conn, _ = server.accept()
        threading.Thread(target=drain, args=(conn,), daemon=True).start()


def main():
    port = int(sys.argv[1])
    directory = sys.argv[2]
    if "--silent" in sys.argv:
        silent(port)
        return
    lock = threading.Lock()

    def record(data):
        with lock, open(os.path.join(directory, "stream.bin"), "ab") as f:
            f.write(data)

    kwargs = {}
    if "--tls" in sys.argv:
        i = sys.argv.index("--tls")
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(sys.argv[i + 1], sys.argv[i + 2])
        kwargs["tls_context"] = context
        kwargs["auth_require_tls"] = True
    else:
        # The package's own switch for a loopback test without TLS.
        kwargs["auth_require_tls"] = False
    if "--plain-only" in sys.argv:
        kwargs["auth_exclude_mechanism"] = ["LOGIN"]
    controller = RecordingController(
        Handler(directory), record, hostname="127.0.0.1", port=port,
        authenticator=authenticator, **kwargs)
    controller.start()
    print("ready", flush=True)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    try:
        while not stop.wait(0.5):
            pass
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
