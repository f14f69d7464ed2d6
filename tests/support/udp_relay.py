#!/usr/bin/env python3
# A bad network between machines of a network match, for the tests: a UDP relay that
# delays, jitters and loses datagrams. Clients send to the relay's listen port; each client
# address gets its own socket towards the target, so the target sees one address per
# client, as it would across a real network. Every datagram, either way, waits
# delay +- jitter milliseconds (uniform) and is lost with probability `loss`.
#
# Usage: udp_relay.py --listen PORT --to HOST:PORT [--delay-ms 50] [--jitter-ms 15]
#                     [--loss 0.05] [--seed N] [--bind ADDRESS]
# Prints nothing but errors; SIGTERM or SIGINT ends it cleanly.
import argparse
import heapq
import random
import select
import signal
import socket
import sys
import time

LARGEST_DATAGRAM = 65535


class Stop(Exception):
    pass


def target_address(text):
    host, sep, port = text.rpartition(':')
    if not sep or not host or not port.isdigit() or not 0 < int(port) < 65536:
        raise argparse.ArgumentTypeError('expected HOST:PORT, got %r' % text)
    try:
        return socket.getaddrinfo(host, int(port), socket.AF_INET, socket.SOCK_DGRAM)[0][4]
    except socket.gaierror as e:
        raise argparse.ArgumentTypeError('cannot resolve %s: %s' % (host, e))


def probability(text):
    value = float(text)
    if not 0 <= value <= 1:
        raise argparse.ArgumentTypeError('a probability is between 0 and 1')
    return value


def parse_args():
    p = argparse.ArgumentParser(description='UDP relay with delay, jitter and loss')
    p.add_argument('--listen', type=int, required=True, help='port clients send to')
    p.add_argument('--to', type=target_address, required=True, help='HOST:PORT of the target')
    p.add_argument('--delay-ms', type=float, default=50)
    p.add_argument('--jitter-ms', type=float, default=15)
    p.add_argument('--loss', type=probability, default=0.05)
    p.add_argument('--seed', type=int, default=None)
    p.add_argument('--bind', default='127.0.0.1', help='address to listen on')
    args = p.parse_args()
    if args.delay_ms < 0 or args.jitter_ms < 0:
        p.error('delays are not negative')
    return args


def drain(sock):
    """Every datagram waiting on `sock`, with its sender."""
    while True:
        try:
            yield sock.recvfrom(LARGEST_DATAGRAM)
        except (BlockingIOError, InterruptedError):
            return
        except ConnectionRefusedError:
            continue  # the target is not listening (yet): its datagram is simply lost
        except OSError:
            return


def main():
    args = parse_args()
    rng = random.Random(args.seed)

    def stop(signum, frame):
        raise Stop()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    listen = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        listen.bind((args.bind, args.listen))
    except OSError as e:
        sys.exit('udp_relay: cannot listen on %s:%d: %s' % (args.bind, args.listen, e))
    listen.setblocking(False)

    upstream = {}  # client address -> its socket towards the target
    client_of = {}  # that socket -> the client address
    due = []  # (time, order, socket, bytes, address or None for the target)
    order = 0

    def schedule(sock, data, address):
        nonlocal order
        if rng.random() < args.loss:
            return
        wait = max(0.0, args.delay_ms + rng.uniform(-args.jitter_ms, args.jitter_ms)) / 1000
        heapq.heappush(due, (time.monotonic() + wait, order, sock, data, address))
        order += 1

    try:
        while True:
            timeout = max(0.0, due[0][0] - time.monotonic()) if due else None
            readable, _, _ = select.select([listen, *client_of], [], [], timeout)
            for sock in readable:
                if sock is listen:
                    for data, client in drain(listen):
                        up = upstream.get(client)
                        if up is None:
                            up = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
                            up.connect(args.to)
                            up.setblocking(False)
                            upstream[client] = up
                            client_of[up] = client
                        schedule(up, data, None)
                else:
                    for data, _ in drain(sock):
                        schedule(listen, data, client_of[sock])
            now = time.monotonic()
            while due and due[0][0] <= now:
                _, _, sock, data, address = heapq.heappop(due)
                try:
                    if address is None:
                        sock.send(data)
                    else:
                        sock.sendto(data, address)
                except OSError:
                    pass  # a full buffer or a closed port loses the datagram, like a network
    except Stop:
        pass
    finally:
        # A second signal while closing ends the relay quietly.
        signal.signal(signal.SIGTERM, signal.SIG_DFL)
        signal.signal(signal.SIGINT, signal.SIG_DFL)
        for sock in [listen, *client_of]:
            sock.close()


if __name__ == '__main__':
    main()
