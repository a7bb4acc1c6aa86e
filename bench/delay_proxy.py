#!/usr/bin/env python3
"""Internet distance for loopback servers, charged where a real line charges it.

    delay_proxy.py --sites N --listen PORT --to PORT --rtt-ms R

Listens on PORT of every site address of latency_server.py and passes each
connection on to the same address at the other port, unchanged but late:
every chunk waits half the round trip in each direction, and nothing goes
out on a new connection before one round trip after it was made, the TCP
handshake a loopback connection does not pay (a connection opened ahead of
its first request has paid it by then, as on a real line). So a new
connection, a TLS handshake and every request each cost what they cost at
that distance, and a kept-alive connection saves what it saves. Prints "ready" once every address listens.
"""
import argparse
import asyncio
import sys
import time


def host(i):
    return f"127.77.{i // 250}.{i % 250 + 1}"


async def carry(reader, writer, half, not_before):
    """Chunks from reader to writer, each half a round trip late, in order,
    none sent before not_before (monotonic seconds)."""
    queue = asyncio.Queue()

    async def read():
        try:
            while data := await reader.read(65536):
                await queue.put((max(time.monotonic(), not_before) + half, data))
        except ConnectionError:
            pass
        await queue.put((time.monotonic() + half, None))

    async def write():
        try:
            while True:
                due, data = await queue.get()
                wait = due - time.monotonic()
                if wait > 0:
                    await asyncio.sleep(wait)
                if data is None:
                    break
                writer.write(data)
                await writer.drain()
            if writer.can_write_eof():
                writer.write_eof()
        except (ConnectionError, OSError):
            pass

    await asyncio.gather(read(), write())


async def serve(args):
    half = args.rtt_ms / 2000.0

    async def client(reader, writer):
        made = time.monotonic()
        address = writer.get_extra_info("sockname")[0]
        try:
            up_reader, up_writer = await asyncio.open_connection(address, args.to)
        except OSError:
            writer.close()
            return
        try:
            await asyncio.gather(carry(reader, up_writer, half, made + 2 * half), carry(up_reader, writer, half, 0))
        finally:
            writer.close()
            up_writer.close()

    servers = [await asyncio.start_server(client, host(i), args.listen, backlog=256) for i in range(args.sites)]
    print("ready", flush=True)
    await asyncio.gather(*(s.serve_forever() for s in servers))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sites", type=int, default=100)
    parser.add_argument("--listen", type=int, required=True)
    parser.add_argument("--to", type=int, required=True)
    parser.add_argument("--rtt-ms", type=int, default=50)
    args = parser.parse_args()
    try:
        asyncio.run(serve(args))
    except OSError as e:
        print(f"delay_proxy: {e}", file=sys.stderr)
        sys.exit(2)
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
