# A TLS server that ends its answer the way OpenSSL's test server and
# Python's unwrap() do: close_notify after the page, then it waits for the
# client's close_notify before it closes the connection.
#   python3 tls_close_notify_server.py CERT KEY   prints its port, serves one request
import socket
import ssl
import sys
import time

context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(sys.argv[1], sys.argv[2])
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(1)
print(listener.getsockname()[1], flush=True)
connection, _ = listener.accept()
tls = context.wrap_socket(connection, server_side=True)
request = b""
while b"\r\n\r\n" not in request:
    chunk = tls.recv(4096)
    if not chunk:
        break
    request += chunk
tls.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<p>The whole page.</p>")
try:
    tls.unwrap()
except (OSError, ssl.SSLError):
    pass
time.sleep(30)
