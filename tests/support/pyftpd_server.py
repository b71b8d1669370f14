#!/usr/bin/python3
"""A pyftpdlib server for Harbrook's tests.

Serves one folder to one user on a loopback port (0 picks a free one), optionally with
explicit TLS using a self-signed certificate made on the spot, and prints
"PORT <number>" on its standard output once it listens.
"""

import argparse
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def make_certificate(path):
    from OpenSSL import crypto

    key = crypto.PKey()
    key.generate_key(crypto.TYPE_RSA, 2048)
    cert = crypto.X509()
    cert.get_subject().CN = "localhost"
    cert.set_serial_number(1)
    cert.gmtime_adj_notBefore(-60)
    cert.gmtime_adj_notAfter(2 * 24 * 3600)
    cert.set_issuer(cert.get_subject())
    cert.set_pubkey(key)
    cert.sign(key, "sha256")
    with open(path, "wb") as out:
        out.write(crypto.dump_privatekey(crypto.FILETYPE_PEM, key))
        out.write(crypto.dump_certificate(crypto.FILETYPE_PEM, cert))


def tls_handler_class(certfile, control_required, data_required, implicit=False):
    from pyftpdlib.handlers import SSLConnection, TLS_DTPHandler, TLS_FTPHandler

    class DataHandler(TLS_DTPHandler):
        # pyftpdlib 1.5.7 drops a data connection whose TLS handshake starts before
        # the server has processed the transfer command, unless it stays readable
        # while still accepting.
        def readable(self):
            return self._ssl_accepting or super().readable()

    class ControlHandler(TLS_FTPHandler):
        # pyftpdlib 1.5.7 can spin at full CPU once a TLS client has gone, unless
        # both halves of the close run.
        def close(self):
            SSLConnection.close(self)
            FTPHandler.close(self)

    class ImplicitControlHandler(ControlHandler):
        # Implicit TLS: the handshake comes first; the greeting goes out once it is
        # done, encrypted like everything after it.
        def handle(self):
            self.secure_connection(self.ssl_context)

        def handle_ssl_established(self):
            super().handle_ssl_established()
            FTPHandler.handle(self)

    if implicit:
        ControlHandler = ImplicitControlHandler
    ControlHandler.dtp_handler = DataHandler
    ControlHandler.certfile = certfile
    ControlHandler.tls_control_required = control_required
    ControlHandler.tls_data_required = data_required
    return ControlHandler


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", default="harbrook")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--certfile")
    parser.add_argument("--tls-control-required", action="store_true")
    parser.add_argument("--implicit", action="store_true",
                        help="TLS from the first byte (needs --certfile)")
    parser.add_argument("--tls-data-required", action="store_true")
    parser.add_argument("--banner", default="Harbrook test server ready.")
    parser.add_argument("--log", help="a file that gets the server's session log")
    parser.add_argument("--smooth-rate", type=int, default=0,
                        help="bytes per second on data connections (plain or TLS), in 16 KiB steps "
                             "(a transfer can be caught at any point of it)")
    parser.add_argument("--throttle", type=int, default=0,
                        help="bytes per second on plain data connections, both ways")
    parser.add_argument("--max-logins", type=int, default=0,
                        help="control connections one client address may hold at once (0: any)")
    args = parser.parse_args()

    if args.log:
        logging.basicConfig(level=logging.INFO, filename=args.log)
    else:
        logging.basicConfig(level=logging.ERROR, stream=sys.stderr)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")

    if args.certfile:
        if not os.path.exists(args.certfile):
            make_certificate(args.certfile)
        handler = tls_handler_class(args.certfile, args.tls_control_required,
                                    args.tls_data_required, args.implicit)
    else:
        handler = FTPHandler
    handler.authorizer = authorizer
    handler.banner = args.banner
    # A wrong password is answered after 3 s by default; tests try wrong ones on purpose.
    handler.auth_failed_timeout = 0.05
    if args.throttle and not args.certfile:
        from pyftpdlib.handlers import ThrottledDTPHandler

        class SlowDataHandler(ThrottledDTPHandler):
            read_limit = args.throttle
            write_limit = args.throttle

        handler.dtp_handler = SlowDataHandler

    if args.smooth_rate:
        import time

        rate = args.smooth_rate
        # Plain or TLS: the steps are measured on what the data connection carries.
        base = handler.dtp_handler

        # Every 16 KiB step waits its share of a second. The server serves one test
        # client, so a blocking wait holds back nothing else that matters.
        class SmoothDataHandler(base):
            ac_in_buffer_size = 16384
            ac_out_buffer_size = 16384

            def use_sendfile(self):
                return False

            def send(self, data):
                sent = base.send(self, data[:16384])
                time.sleep(sent / rate)
                return sent

            def recv(self, size):
                data = base.recv(self, min(size, 16384))
                time.sleep(len(data) / rate)
                return data

        handler.dtp_handler = SmoothDataHandler

    server = FTPServer((args.host, args.port), handler)
    if args.max_logins:
        # Answered with 421 at connect, as servers that allow one session per user do.
        server.max_cons_per_ip = args.max_logins
    port = server.socket.getsockname()[1]
    print("PORT %d" % port, flush=True)
    try:
        server.serve_forever(timeout=0.5, blocking=True, handle_exit=True)
    finally:
        server.close_all()


if __name__ == "__main__":
    main()
