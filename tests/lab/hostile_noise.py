#!/usr/bin/env python3
"""A hostile network for the hostile lab test.

Run inside a lab's device namespace, it sends a stream of random, truncated and well-formed
but foreign datagrams (search, set-IP and MAC filter replies to other workstations, requests,
TFTP datagrams of other transfers) from the --source addresses to every UDP port that the
process --pid has open on the --target address or on all addresses, --rate datagrams per
second to each port. It finds the ports in /proc/PID/net/udp, which lists the sockets of that
process's namespace, so it follows sockets as they come and go.

With --forge-on INTERFACE and --forge-from ADDRESS it also watches the segment for set-IP and MAC
filter requests and answers each at once from ADDRESS, copying the request's sequence and MACs:
"done" to a set-IP request and to a filter write, a list holding 02-BA-D0-00-00-01 to a read.

Output: "port N" once for each port found; "sent N COUNT" for each port and "forged COUNT" when
it ends (SIGTERM, or the watched process is gone).

A peer that forges the very address of a device being updated can always break the TFTP
transfer (the standard has no authentication), so the test gives no such --source.
"""
import argparse
import os
import random
import signal
import socket
import struct
import sys
import threading
import time

MAGIC = bytes.fromhex("87654321")
RESCAN_SECONDS = 0.05


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--pid", type=int, required=True, help="process whose UDP ports are flooded")
    parser.add_argument("--target", required=True, help="its address (dotted IPv4)")
    parser.add_argument("--source", action="append", required=True, help="address to send from (repeatable)")
    parser.add_argument("--rate", type=float, default=200.0, help="datagrams per second to each port")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--forge-on", help="interface on which to watch for requests to answer")
    parser.add_argument("--forge-from", help="address the forged answers come from")
    return parser.parse_args()


FORGED_LIST_ENTRY = bytes.fromhex("02BAD0000001")


def forge(interface, source, stopping, counts):
    """Answers every set-IP and filter request seen on the interface before the device can."""
    raw = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(0x0800))
    raw.bind((interface, 0))
    raw.settimeout(0.1)
    sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sender.bind((source, 0))
    while not stopping:
        try:
            frame = raw.recv(2048)
        except socket.timeout:
            continue
        ip = frame[14:]
        if len(ip) < 20 or ip[9] != 17:
            continue
        udp = ip[(ip[0] & 0x0F) * 4:]
        if len(udp) < 8:
            continue
        source_port, destination_port = struct.unpack(">HH", udp[:4])
        request = udp[8:]
        if destination_port != 4000 or len(request) < 32 or request[:4] != MAGIC:
            continue
        opcode, flag = request[4], request[5]
        # Sequence, then the adapter's and the device's MAC, then status 0: all read off the request.
        copied = request[6:8] + request[26:32] + request[20:26] + bytes(4)
        if opcode == 0x21:
            reply = MAGIC + bytes([0x21, flag]) + copied
        elif opcode == 0x60:
            reading = flag == 0x20
            reply = (MAGIC + bytes([0x60, 0x30 if reading else 0x00]) + copied
                     + (FORGED_LIST_ENTRY if reading else b"")).ljust(792, b"\0")
        else:
            continue
        sender.sendto(reply, (socket.inet_ntoa(ip[12:16]), source_port))
        counts["forged"] += 1


def proc_address(ip):
    """An IPv4 address as /proc/net/udp prints it: the network-order word in host order, hex."""
    return "%08X" % struct.unpack("=I", socket.inet_aton(ip))[0]


def open_ports(pid, target):
    wanted = {proc_address(target), "00000000"}
    ports = set()
    with open("/proc/%d/net/udp" % pid) as table:
        next(table)
        for line in table:
            address, port = line.split()[1].split(":")
            if address in wanted:
                ports.add(int(port, 16))
    return ports


class Noise:
    """Datagrams of every kind the program's sockets might see, none of them an answer to it."""

    def __init__(self, rng):
        self.rng = rng

    def mac(self):
        # A first byte of 00: never the lab workstation's locally administered adapters (02-...).
        return bytes([0]) + self.rng.randbytes(5)

    def header(self, opcode, flag):
        return MAGIC + bytes([opcode, flag]) + self.rng.randbytes(2)

    def text(self, size):
        return (b"Noise-" + self.rng.randbytes(4).hex().encode()).ljust(size, b"\0")[:size]

    def search_reply(self):
        body = self.header(0x12, 0x10) + self.mac() + self.mac() + bytes(8) + self.text(32) + b"\0"
        body += self.text(32) + b"\0" + bytes([self.rng.randrange(1, 14)])
        return body.ljust(185, b"\0")

    def search_request(self):
        return self.header(0x12, 0x00) + self.mac() + bytes(2)

    def set_ip_reply(self):
        status = self.rng.choice([0, 1, 255, self.rng.randrange(65536)])
        return self.header(0x21, self.rng.choice([0x10, 0x11])) + self.mac() + self.mac() + struct.pack(">H", status) + bytes(2)

    def set_ip_request(self):
        return self.header(0x21, 0x10) + self.rng.randbytes(12) + self.mac() + self.mac() + self.rng.randbytes(12)

    def filter_reply(self):
        slots = b"".join(self.mac() for _ in range(self.rng.randrange(129)))
        body = self.header(0x60, self.rng.choice([0x30, 0x00])) + self.mac() + self.mac() + bytes(4) + slots
        return body.ljust(792, b"\0")

    def tftp(self):
        kind = self.rng.randrange(6)
        if kind == 0:
            return struct.pack(">HH", 4, self.rng.randrange(65536))
        if kind == 1:
            return struct.pack(">HH", 3, self.rng.randrange(65536)) + self.rng.randbytes(self.rng.randrange(513))
        if kind == 2:
            return struct.pack(">HH", 5, self.rng.randrange(8)) + b"Noise\0"
        if kind == 3:
            return struct.pack(">H", self.rng.choice([1, 2])) + b"/\0octet\0"
        return struct.pack(">H", self.rng.randrange(6, 65536)) + self.rng.randbytes(self.rng.randrange(20))

    def random_header(self):
        return self.header(self.rng.randrange(256), self.rng.randrange(256)) + self.rng.randbytes(self.rng.randrange(900))

    def next(self):
        makers = [self.search_reply, self.search_request, self.set_ip_reply, self.set_ip_request,
                  self.filter_reply, self.tftp, self.random_header]
        roll = self.rng.random()
        if roll < 0.2:
            return self.rng.randbytes(self.rng.randrange(1001))
        datagram = self.rng.choice(makers)()
        if roll < 0.45:
            return datagram[: self.rng.randrange(len(datagram) + 1)]
        return datagram


def main():
    args = parse_args()
    rng = random.Random(args.seed)
    noise = Noise(rng)
    senders = []
    for source in args.source:
        sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        sender.bind((source, 0))
        senders.append(sender)

    sent = {}
    stopping = []
    signal.signal(signal.SIGTERM, lambda *_: stopping.append(True))
    counts = {"forged": 0}
    forger = None
    if args.forge_on:
        forger = threading.Thread(target=forge, args=(args.forge_on, args.forge_from, stopping, counts))
        forger.start()
    ports = set()
    next_scan = 0.0
    interval = 1.0 / args.rate
    while not stopping:
        now = time.monotonic()
        if now >= next_scan:
            try:
                ports = open_ports(args.pid, args.target)
            except OSError:
                break  # the watched process has ended
            for port in sorted(ports - sent.keys()):
                sent[port] = 0
                print("port %d" % port, flush=True)
            next_scan = now + RESCAN_SECONDS
        for port in ports:
            try:
                rng.choice(senders).sendto(noise.next(), (args.target, port))
                sent[port] += 1
            except OSError:
                pass  # a full buffer or an unreachable port: noise may be lost
        time.sleep(interval)
    stopping.append(True)
    if forger:
        forger.join()
    for port, count in sorted(sent.items()):
        print("sent %d %d" % (port, count), flush=True)
    print("forged %d" % counts["forged"], flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
