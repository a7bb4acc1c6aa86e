#!/usr/bin/python3
"""A local SMTP server for tests: Debian's aiosmtpd on 127.0.0.1.

    smtp_sink.py FOLDER [USER PASSWORD]

Prints "PORT n" once it listens, then keeps every message it accepts as
FOLDER/N.eml (the envelope's sender and recipients in FOLDER/N.env). With a
user and password, AUTH is required (without TLS: loopback only). Ends when
its standard input closes.
"""
import socket
import sys
from pathlib import Path

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult


class Sink:
    def __init__(self, folder):
        self.folder = Path(folder)
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        (self.folder / f"{self.count}.eml").write_bytes(envelope.original_content or envelope.content)
        (self.folder / f"{self.count}.env").write_text(
            "\n".join([envelope.mail_from] + list(envelope.rcpt_tos)) + "\n")
        return "250 Message accepted"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    folder = sys.argv[1]
    options = {}
    if len(sys.argv) == 4:
        user, password = sys.argv[2].encode(), sys.argv[3].encode()

        def check(server, session, envelope, mechanism, data):
            return AuthResult(success=data.login == user and data.password == password)

        options = {"authenticator": check, "auth_required": True, "auth_require_tls": False}
    port = free_port()
    controller = Controller(Sink(folder), hostname="127.0.0.1", port=port, **options)
    controller.start()
    print(f"PORT {port}", flush=True)
    sys.stdin.read()
    controller.stop()


if __name__ == "__main__":
    main()
