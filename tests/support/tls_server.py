# A TLS server for the fetcher's tests, serving each connection in a thread
# of its own from one context, so session tickets hold for the next one.
#   python3 tls_server.py MODE CERT KEY   prints its port, serves until killed
# MODE "session": every answer is the page "page" with Connection: close and
#   "X-Session-Reused: yes" or "no", whether the handshake resumed a session.
# MODE "close-notify": the answer has no length and ends the way OpenSSL's
#   test server and Python's unwrap() end one: close_notify after the page,
#   then a wait for the client's close_notify before the connection closes.
import socket
import ssl
import sys
import threading
import time

mode = sys.argv[1]
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(sys.argv[2], sys.argv[3])
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(16)
print(listener.getsockname()[1], flush=True)


def answer(tls):
    if mode == "session":
        reused = b"yes" if tls.session_reused else b"no"
        tls.sendall(b"HTTP/1.1 200 OK\r\nX-Session-Reused: " + reused
                    + b"\r\nConnection: close\r\nContent-Length: 4\r\n\r\npage")
        return
    tls.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<p>The whole page.</p>")
    tls.unwrap()
    time.sleep(30)


def serve(connection):
    try:
        with context.wrap_socket(connection, server_side=True) as tls:
            request = b""
            while b"\r\n\r\n" not in request:
                chunk = tls.recv(4096)
                if not chunk:
                    return
                request += chunk
            answer(tls)
    except (OSError, ssl.SSLError):
        pass


while True:
    client, _ = listener.accept()
    threading.Thread(target=serve, args=(client,), daemon=True).start()
