# A TLS server that says in each answer whether its connection resumed an
# earlier session: "X-Session-Reused: yes" or "no". Every answer is the page
# "page" with Connection: close, so a client must open a new connection for
# its next request. One context serves all connections: its session tickets
# hold for the next one.
#   python3 tls_session_server.py CERT KEY   prints its port, serves until killed
import socket
import ssl
import sys
import threading

context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(sys.argv[1], sys.argv[2])
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(16)
print(listener.getsockname()[1], flush=True)


def serve(connection):
    try:
        with context.wrap_socket(connection, server_side=True) as tls:
            request = b""
            while b"\r\n\r\n" not in request:
                chunk = tls.recv(4096)
                if not chunk:
                    return
                request += chunk
            reused = b"yes" if tls.session_reused else b"no"
            tls.sendall(b"HTTP/1.1 200 OK\r\nX-Session-Reused: " + reused
                        + b"\r\nConnection: close\r\nContent-Length: 4\r\n\r\npage")
    except (OSError, ssl.SSLError):
        pass


while True:
    client, _ = listener.accept()
    threading.Thread(target=serve, args=(client,), daemon=True).start()
