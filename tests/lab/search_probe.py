#!/usr/bin/env python3
"""Lab test: broadcasts one search request from a workstation adapter and checks who answers.

Run inside the lab's workstation namespace (lab/with-lab.sh). Every --expect device must answer
exactly as configured (address, reply mode, all the fields of the 185-byte reply); every --absent
device must stay silent. Only the Python standard library is used.

Usage: search_probe.py [--adapter N] --expect IP... [--absent IP...]
"""
import argparse
import json
import os
import select
import socket
import struct
import sys
import time

MAGIC = bytes.fromhex("87654321")
DEVICE_PORT = 4000
REPLY_SIZE = 185
SEQUENCE = 0x0102
COLLECT_SECONDS = 5.0   # an upper bound only: the probe stops as soon as every expected device answered
SETTLE_SECONDS = 0.5    # after that, a short wait lets any unexpected answer show up
IP_PKTINFO = getattr(socket, "IP_PKTINFO", 8)


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def mac_bytes(text):
    return bytes(int(part, 16) for part in text.replace(":", "-").split("-")) if len(text) == 17 else bytes.fromhex(text)


def field(text, size=32):
    raw = text.encode("latin-1")
    return raw + bytes(size - len(raw))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--adapter", type=int, default=1)
    parser.add_argument("--expect", action="append", default=[])
    parser.add_argument("--absent", action="append", default=[])
    args = parser.parse_args()

    adapter = str(args.adapter)
    iface = os.environ["FARLIGHT_LAB_ADAPTER%s_IFACE" % adapter]
    local_ip = os.environ["FARLIGHT_LAB_ADAPTER%s_IP" % adapter]
    local_mac = mac_bytes(os.environ["FARLIGHT_LAB_ADAPTER%s_MAC" % adapter])
    with open(os.environ["FARLIGHT_LAB_CONFIG"], encoding="utf-8") as f:
        devices = {d["ip"]: d for d in json.load(f)["devices"]}

    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    # Bound to the adapter's link: the broadcast leaves through it and replies of both kinds,
    # unicast to this address and broadcast to 255.255.255.255, arrive on the one socket.
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_BINDTODEVICE, iface.encode())
    sock.setsockopt(socket.IPPROTO_IP, IP_PKTINFO, 1)
    sock.bind(("0.0.0.0", 0))

    # Search request: magic, opcode 0x12, flag 0, sequence, requester MAC, two reserved zero bytes.
    request = MAGIC + bytes([0x12, 0x00]) + struct.pack(">H", SEQUENCE) + local_mac + bytes(2)
    assert len(request) == 16
    sock.sendto(request, ("255.255.255.255", DEVICE_PORT))

    replies = {}
    deadline = time.monotonic() + COLLECT_SECONDS
    settle = None
    while True:
        now = time.monotonic()
        if settle is None and all(ip in replies for ip in args.expect):
            settle = now + SETTLE_SECONDS
        end = min(deadline, settle) if settle else deadline
        if now >= end:
            break
        ready, _, _ = select.select([sock], [], [], end - now)
        if not ready:
            continue
        data, ancillary, _, (source, port) = sock.recvmsg(2048, socket.CMSG_SPACE(12))
        destination = None
        for level, kind, payload in ancillary:
            if level == socket.IPPROTO_IP and kind == IP_PKTINFO:
                destination = socket.inet_ntoa(payload[8:12])  # ipi_addr: the header's destination
        if source in replies:
            fail("%s answered twice" % source)
        replies[source] = (data, port, destination)

    for ip in args.absent:
        if ip in replies:
            fail("%s answered although it is not on this adapter's segment" % ip)
    for ip in args.expect:
        if ip not in replies:
            fail("no reply from %s (got replies from %s)" % (ip, sorted(replies) or "nobody"))
        data, port, destination = replies[ip]
        device = devices[ip]
        mode = device.get("reply", "unicast")
        want_destination = "255.255.255.255" if mode == "broadcast" else local_ip
        if destination != want_destination:
            fail("%s (%s) replied to %s, expected %s" % (ip, mode, destination, want_destination))
        if port != DEVICE_PORT:
            fail("%s replied from port %d" % (ip, port))
        expected = bytearray(REPLY_SIZE)
        expected[0:4] = MAGIC
        expected[4:6] = bytes([0x12, 0x10])
        expected[6:8] = struct.pack(">H", SEQUENCE)
        expected[8:14] = local_mac
        expected[14:20] = mac_bytes(device["mac"])
        expected[28:60] = field(device["host_name"])
        expected[61:93] = field(device.get("ssid", "wireless"))
        expected[94] = device.get("channel", 6)
        expected[113] = device.get("wep", 0)
        if data != bytes(expected):
            fail("%s: reply differs from the expected bytes\n got %s\nwant %s" % (ip, data.hex(), bytes(expected).hex()))
        print("ok: %s answered by %s from %s:%d" % (ip, mode, ip, port))
    unexpected = set(replies) - set(args.expect)
    if unexpected:
        fail("unexpected replies from %s" % sorted(unexpected))
    return 0


if __name__ == "__main__":
    sys.exit(main())
