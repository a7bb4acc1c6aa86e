#!/usr/bin/env python3
"""Linking Sites at internet distance on loopback, for the latency benchmark.

    latency_server.py --sites N --pages P --delay-ms D --port PORT [--tls CERT KEY]

Site i is its own host, the loopback address 127.77.(i // 250).(i % 250 + 1),
and every host listens on PORT (over TLS with --tls). Every answer waits D ms,
as a distant server would, then comes whole; the connection is closed unless
an HTTP/1.1 request did not ask for that, as a kept-alive server does. The start page links to
the site's other P - 1 pages and every page to the next one; the even sites
also link to the Main Site from their start page (so a scan stops there), the
odd ones carry no link (so a scan walks all P pages). Prints "ready" once
every host listens.
"""
import argparse
import asyncio
import socket
import ssl
import sys

MAIN_SITE = "http://www.mysite-bench.com/links.htm"


def host(i):
    return f"127.77.{i // 250}.{i % 250 + 1}"


def page_name(n):
    return "/" if n == 0 else f"/p{n}.html"


def page(site, n, pages):
    links = [f'<a href="{page_name(k)}">Page {k}</a>' for k in range(1, pages)] if n == 0 else []
    links.append(f'<a href="{page_name((n + 1) % pages)}">Next</a>')
    links.append('<a href="/">Home</a>')
    if n == 0 and site % 2 == 0:
        links.append(f'<a href="{MAIN_SITE}">Our friend</a>')
    text = "<p>" + "partner page text " * 40 + "</p>"
    return (f"<html><head><title>Site {site} page {n}</title></head><body>\n"
            + "\n".join(links) + "\n" + text + "\n</body></html>\n").encode()


def answer(status, body):
    return (f"HTTP/1.0 {status}\r\nContent-Type: text/html\r\nContent-Length: {len(body)}\r\n"
            "Connection: close\r\n\r\n").encode() + body


def kept(whole):
    """The same answer on a connection that stays open."""
    head, body = whole.split(b"\r\n\r\n", 1)
    head = head.replace(b"HTTP/1.0", b"HTTP/1.1", 1).replace(b"Connection: close", b"Keep-Alive: timeout=15")
    return head + b"\r\n\r\n" + body


async def serve(args):
    delay = args.delay_ms / 1000.0
    pages = {}
    for site in range(args.sites):
        for n in range(args.pages):
            pages[(host(site), page_name(n))] = answer("200 OK", page(site, n, args.pages))
    not_found = answer("404 Not Found", b"<html><body>Not Found</body></html>\n")

    async def client(reader, writer):
        try:
            while True:
                request = await reader.readuntil(b"\r\n\r\n")
                words = request.split(b"\r\n", 1)[0].split(b" ")
                path = words[1].decode("latin-1") if len(words) > 1 else "/"
                keep = words[-1] == b"HTTP/1.1" and b"connection: close" not in request.lower()
                local = writer.get_extra_info("sockname")[0]
                if delay:
                    await asyncio.sleep(delay)
                whole = pages.get((local, path), not_found)
                if not keep:
                    writer.transport.set_write_buffer_limits(0)
                writer.write(kept(whole) if keep else whole)
                await writer.drain()
                if not keep:
                    # TCP's own close ends the answer at once: over TLS asyncio
                    # would wait for the client's close_notify first.
                    writer.get_extra_info("socket").shutdown(socket.SHUT_WR)
                    writer.transport.abort()
                    return
        except (asyncio.IncompleteReadError, asyncio.LimitOverrunError, ConnectionError, ssl.SSLError):
            pass
        finally:
            writer.close()

    tls = None
    if args.tls:
        tls = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        tls.load_cert_chain(args.tls[0], args.tls[1])

    servers = []
    for site in range(args.sites):
        servers.append(await asyncio.start_server(client, host(site), args.port, backlog=128, ssl=tls))
    print("ready", flush=True)
    await asyncio.gather(*(s.serve_forever() for s in servers))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sites", type=int, default=100)
    parser.add_argument("--pages", type=int, default=10)
    parser.add_argument("--delay-ms", type=int, default=100)
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    args = parser.parse_args()
    if not 1 <= args.sites <= 250 * 256 or args.pages < 1:
        parser.error("--sites must be 1 to 64000 and --pages at least 1")
    try:
        asyncio.run(serve(args))
    except OSError as e:
        print(f"latency_server: {e}", file=sys.stderr)
        sys.exit(2)
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
