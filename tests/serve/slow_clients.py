"""Slow clients never stall the twin: sixteen connections from each of two
client addresses that trickle one header byte a second, and sixteen TLS
handshakes left half done, while another client's requests and a reset's
boot go on, each request answered within 5 s and the action reported
within 10 s. A client address gets 8 connections; the ninth is refused with
503. A request still not whole after 10 s is answered 408 and closed."""

import os
import socket
import ssl
import subprocess
import tempfile
import threading
import time

import twin

TRICKLE = b"GET /redfish/v1 HTTP/1.1\r\nHost: x\r\nX-Slow: " + b"a" * 40


def trickle(port, source, stop, results):
    """Opens a connection from source and sends one byte a second until the
    server answers or closes; notes the first 12 bytes of the answer."""
    try:
        client = socket.create_connection(("127.0.0.1", port), timeout=15,
                                          source_address=(source, 0))
    except OSError:
        results.append("refused")
        return
    with client:
        client.settimeout(1)
        for byte in TRICKLE:
            if stop.is_set():
                break
            try:
                client.sendall(bytes([byte]))
                answer = client.recv(4096)
            except socket.timeout:
                continue
            except OSError:
                break
            results.append(answer[:12].decode("latin-1") if answer else "closed")
            return
        results.append("unanswered")


def half_handshake(port, stop):
    """A TLS client hello and nothing more."""
    with socket.create_connection(("127.0.0.1", port), timeout=15,
                                  source_address=("127.0.0.9", 0)) as client:
        client.sendall(b"\x16\x03\x01\x00\x10")  # a record header, no body
        stop.wait(12)


def test(emu, scenarios):
    scenario = os.path.join(scenarios, "twin.json")
    name, target, parameters, message = twin.FIVE_ACTIONS[0]
    sources = ("127.0.0.2",) * 16 + tuple(f"127.0.1.{n}" for n in range(1, 17))
    with twin.Twin(emu, scenario, "--power-off", max_seconds=120) as server:
        stop = threading.Event()
        results = []
        threads = [threading.Thread(target=trickle, args=(server.port, source, stop, results))
                   for source in sources]
        for thread in threads:
            thread.start()
        time.sleep(1.5)
        # Meanwhile: another client, and a boot.
        for path in ("/redfish/v1", twin.STATUS_URI, "/redfish/v1/Systems/Self") * 3:
            started = time.monotonic()
            status = twin.exchange(server, "GET", path, headers={"Authorization": twin.ADMIN},
                                   timeout=5)[0]
            # Answered in milliseconds; behind the slow clients it would wait for them.
            assert status == 200 and time.monotonic() - started < 5, (path, status)
        assert server.request("POST", twin.ACTIONS + target, parameters)[0] == 202
        assert server.request("POST", twin.RESET, {"ResetType": "On"})[0] == 204
        status = server.wait_final(seconds=10)
        assert status.get("StatusMessage") == message, status
        # Left alone, the trickling requests run out of time.
        for thread in threads:
            thread.join(timeout=20)
        stop.set()
        assert results.count("HTTP/1.1 503") == 8, results
        assert results.count("HTTP/1.1 408") == 24, results

    # TLS: half-finished handshakes hold no one up.
    with tempfile.TemporaryDirectory() as scratch:
        cert, key = os.path.join(scratch, "cert.pem"), os.path.join(scratch, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=127.0.0.1", "-keyout", key, "-out", cert],
                       check=True, capture_output=True, timeout=60)
        with twin.Twin(emu, scenario, "--tls", cert, key, "--power-off") as server:
            stop = threading.Event()
            threads = [threading.Thread(target=half_handshake, args=(server.port, stop))
                       for _ in range(8)]
            for thread in threads:
                thread.start()
            time.sleep(0.5)
            context = ssl.create_default_context()
            context.check_hostname = False
            context.verify_mode = ssl.CERT_NONE
            started = time.monotonic()
            with socket.create_connection(("127.0.0.1", server.port), timeout=5) as plain:
                with context.wrap_socket(plain) as client:
                    client.sendall(b"GET /redfish/v1 HTTP/1.1\r\nHost: x\r\n"
                                   b"Connection: close\r\n\r\n")
                    assert client.recv(12) == b"HTTP/1.1 200"
            assert time.monotonic() - started < 5, "a TLS client waited behind handshakes"
            stop.set()
            for thread in threads:
                thread.join(timeout=20)


if __name__ == "__main__":
    twin.main(test)
