#!/usr/bin/env python3
"""A loopback proxy for tests: HTTP (whole URLs and CONNECT) or SOCKS5.

    proxy_server.py http|socks5 [--deny]

Every host asked for is reached at 127.0.0.1, so a page of a made-up name
arrives only through the proxy. --deny refuses every connection (403, or
SOCKS5 reply 2). Prints its port, then a line per request it took: the
request line (HTTP), with a tab and the request's User-Agent line when it
has one, or "SOCKS host:port".
"""
import asyncio
import sys


async def relay(reader, writer):
    try:
        while data := await reader.read(65536):
            writer.write(data)
            await writer.drain()
    except ConnectionError:
        pass
    finally:
        writer.close()


async def join(client_reader, client_writer, port, first=b""):
    up_reader, up_writer = await asyncio.open_connection("127.0.0.1", port)
    if first:
        up_writer.write(first)
    await asyncio.gather(relay(client_reader, up_writer), relay(up_reader, client_writer))


async def http_client(reader, writer, deny):
    head = await reader.readuntil(b"\r\n\r\n")
    line = head.split(b"\r\n", 1)[0]
    agents = [h for h in head.split(b"\r\n")[1:] if h.lower().startswith(b"user-agent:")]
    print(b"\t".join([line] + agents).decode("latin-1"), flush=True)
    method, target, _ = line.split(b" ", 2)
    if deny:
        writer.write(b"HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n")
        await writer.drain()
        writer.close()
        return
    if method == b"CONNECT":
        port = int(target.rsplit(b":", 1)[1])
        writer.write(b"HTTP/1.1 200 Connection established\r\n\r\n")
        await join(reader, writer, port)
        return
    rest = target.split(b"://", 1)[1]
    authority, _, path = rest.partition(b"/")
    port = int(authority.rsplit(b":", 1)[1]) if b":" in authority else 80
    await join(reader, writer, port, head.replace(target, b"/" + path, 1))


async def socks_client(reader, writer, deny):
    _, count = await reader.readexactly(2)
    await reader.readexactly(count)
    writer.write(b"\x05\x00")
    _, _, _, kind = await reader.readexactly(4)
    if kind == 3:
        host = (await reader.readexactly((await reader.readexactly(1))[0])).decode()
    else:
        host = ".".join(str(b) for b in await reader.readexactly(4 if kind == 1 else 16))
    port = int.from_bytes(await reader.readexactly(2), "big")
    print(f"SOCKS {host}:{port}", flush=True)
    writer.write(bytes([5, 2 if deny else 0, 0, 1, 0, 0, 0, 0, 0, 0]))
    if deny:
        await writer.drain()
        writer.close()
        return
    await join(reader, writer, port)


async def main():
    kind = sys.argv[1]
    deny = "--deny" in sys.argv
    handler = http_client if kind == "http" else socks_client

    async def client(reader, writer):
        try:
            await handler(reader, writer, deny)
        except (asyncio.IncompleteReadError, ConnectionError, ValueError, IndexError):
            writer.close()

    server = await asyncio.start_server(client, "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main())
