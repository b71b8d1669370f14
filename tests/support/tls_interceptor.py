#!/usr/bin/python3
"""A man in the middle for tests: listens on a loopback port, relays an FTP control
connection to the real server, and when the client asks for AUTH TLS, terminates TLS
itself with its own certificate (and speaks TLS to the server on its own). Every line
the client sends that the interceptor can read is written to the log file, so a test
can tell whether a password reached it in clear. Prints "PORT n" once it listens."""

import argparse
import socket
import ssl
import sys
import threading


def read_line(sock):
    data = b""
    while not data.endswith(b"\n"):
        chunk = sock.recv(1)
        if not chunk:
            break
        data += chunk
    return data


def read_reply(sock):
    """One FTP reply, multi-line replies whole."""
    first = read_line(sock)
    reply = first
    if len(first) >= 4 and first[3:4] == b"-":
        code = first[:3]
        while True:
            line = read_line(sock)
            if not line:
                break
            reply += line
            if line[:3] == code and line[3:4] == b" ":
                break
    return reply


def pump(source, target, log=None):
    try:
        while True:
            chunk = source.recv(65536)
            if not chunk:
                break
            if log is not None:
                log(chunk)
            target.sendall(chunk)
    except OSError:
        pass
    finally:
        for s in (source, target):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


def serve(client, args, log):
    upstream = socket.create_connection(("127.0.0.1", args.upstream_port))
    client.sendall(read_reply(upstream))
    while True:
        line = read_line(client)
        if not line:
            return
        log(line)
        upstream.sendall(line)
        reply = read_reply(upstream)
        if line.strip().upper() == b"AUTH TLS" and reply.startswith(b"234"):
            outward = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
            outward.check_hostname = False
            outward.verify_mode = ssl.CERT_NONE
            upstream = outward.wrap_socket(upstream)
            client.sendall(reply)
            inward = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            inward.load_cert_chain(args.certfile)
            try:
                client = inward.wrap_socket(client, server_side=True)
            except (ssl.SSLError, OSError):
                return
            break
        client.sendall(reply)
    back = threading.Thread(target=pump, args=(upstream, client), daemon=True)
    back.start()
    pump(client, upstream, log)
    back.join(5)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--upstream-port", type=int, required=True)
    parser.add_argument("--certfile", required=True)
    parser.add_argument("--log", required=True)
    args = parser.parse_args()
    lock = threading.Lock()
    logfile = open(args.log, "ab", buffering=0)

    def log(data):
        with lock:
            logfile.write(data)

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    print("PORT %d" % listener.getsockname()[1], flush=True)
    while True:
        client, _ = listener.accept()
        threading.Thread(target=serve, args=(client, args, log), daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())
