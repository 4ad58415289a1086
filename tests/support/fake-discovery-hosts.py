#!/usr/bin/env python3
"""Fake hosts for discovery tests and benchmarks, on loopback addresses only.

    fake-discovery-hosts.py PORT ADDRESS=KIND...

KIND is one of:
  device[:PIN[:MACHINE]]  answers GET /cgi-bin/discovery.cgi as a BlackBerry 10 device does
                          (PIN in decimal, MACHINE with "_" for blanks)
  devmodeoff[:PIN]        a device with Development Mode off and its setup not finished
  silent                  accepts the connection and never answers
  closes                  accepts the connection and closes it at once
  huge                    answers 200 with a body that never ends (1 MiB pieces)
Prints "ready" on standard output once every address listens; runs until killed.
"""
import asyncio
import ipaddress
import sys

ANSWER = (
    '<?xml version="1.0" encoding="UTF-8"?><RimTabletResponse><DeviceCharacteristics>'
    "<BbPin>{pin}</BbPin><SystemMachine>{machine}</SystemMachine><OsType>BlackBerry 10</OsType>"
    "<PlatformVersion>10.3.3.2205</PlatformVersion><ModelName>{model}</ModelName>"
    "<MinSupportedProtocolVersion>1</MinSupportedProtocolVersion>"
    "<MaxSupportedProtocolVersion>4</MaxSupportedProtocolVersion>"
    "<DeveloperModeEnabled>{devmode}</DeveloperModeEnabled><OobeCompleted>{oobe}</OobeCompleted>"
    "</DeviceCharacteristics></RimTabletResponse>"
)


def handler(kind):
    name, *args = kind.split(":")

    async def serve(reader, writer):
        try:
            if name == "closes":
                return
            request = b""
            while b"\r\n\r\n" not in request:
                chunk = await reader.read(4096)
                if not chunk:
                    return
                request += chunk
            if name == "silent":
                await reader.read()  # until the prober gives up
                return
            if name == "huge":
                writer.write(b"HTTP/1.0 200 OK\r\n\r\n<RimTabletResponse>")
                while True:
                    writer.write(b"x" * (1 << 20))
                    await writer.drain()
            pin = args[0] if args else "572732211"
            machine = args[1] if len(args) > 1 else "BlackBerry_Z30"
            on = "0" if name == "devmodeoff" else "1"
            body = ANSWER.format(pin=pin, machine=machine, model=machine.split("_")[-1],
                                 devmode=on, oobe=on).encode()
            writer.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: %d\r\n"
                         b"Connection: close\r\n\r\n" % len(body) + body)
            await writer.drain()
        except (ConnectionError, OSError):
            pass
        finally:
            writer.close()

    return serve


async def main():
    port = int(sys.argv[1])
    servers = []
    for host in sys.argv[2:]:
        address, kind = host.split("=", 1)
        if not ipaddress.ip_address(address).is_loopback:
            sys.exit(f"{address} is not a loopback address: fake hosts stay on this machine")
        servers.append(await asyncio.start_server(handler(kind), address, port))
    print("ready", flush=True)
    await asyncio.gather(*(server.serve_forever() for server in servers))


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        pass
