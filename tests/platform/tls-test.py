#!/usr/bin/env python3
"""Runs the TLS client tests against real TLS servers on localhost.

    tls-test.py <tls_tests executable> [runner]

Makes a throwaway CA and certificates, starts one server per case on a port
the system picks, and runs the test executable with the ports, the root and
the large page's bytes in its environment. With a runner (tools/wine-run.sh
for the Windows build) the executable runs through it, after
trust_test_root.exe (beside it) has put the root into the ROOT store of the
runner's own Wine prefix; natively the tests hand the root to OpenSSL.
Results go to $VW_TEST_XML.
"""
import os
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True   # no caches in the source tree
SOURCE_DIR = os.environ.get("VW_SOURCE_DIR") or os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tools"))
from loopback_http import LoopbackHttpServer, lines_body  # noqa: E402
from test_pki import make_test_pki  # noqa: E402


def main():
    exe, runner = sys.argv[1], sys.argv[2:3]
    # Windows programs under Wine see the Linux file system as drive Z:.
    native = (lambda path: "Z:" + path) if runner else (lambda path: path)
    with tempfile.TemporaryDirectory() as work:
        pki = make_test_pki(work)
        body_file = os.path.join(work, "big.bin")
        body = os.urandom((3 << 20) + 12345)
        with open(body_file, "wb") as f:
            f.write(body)

        servers = {
            "good": LoopbackHttpServer("127.0.0.1", 0, tls=pki["good"]),
            "other_host": LoopbackHttpServer("127.0.0.1", 0, tls=pki["other_host"]),
            "expired": LoopbackHttpServer("127.0.0.1", 0, tls=pki["expired"]),
            "untrusted": LoopbackHttpServer("127.0.0.1", 0, tls=pki["untrusted"]),
            "tls10": LoopbackHttpServer("127.0.0.1", 0, tls=pki["good"], tls_max="TLSv1"),
            "hangup": LoopbackHttpServer("127.0.0.1", 0, tls=pki["good"], handshake="close"),
            "stall": LoopbackHttpServer("127.0.0.1", 0, tls=pki["good"], handshake="stall"),
            "aia": LoopbackHttpServer("127.0.0.1", 0, tls=pki["aia"]),
        }
        good = servers["good"]
        good.set_page("/big", body)
        for ending in ("notify", "tcp-close", "reset", "cut"):
            good.set_page("/end/" + ending, lines_body(5000, seed=ending), ending=ending)
            good.set_page("/close/" + ending, lines_body(5000, seed=ending), ending=ending, length=False)
        for server in servers.values():
            server.start()
        try:
            env = dict(os.environ)
            env["VW_TLS_SERVERS"] = " ".join(f"{name}={s.port}" for name, s in servers.items())
            env["VW_TLS_BODY"] = native(body_file)
            if runner:
                trust = os.path.join(os.path.dirname(exe), "trust_test_root.exe")
                subprocess.run(runner + [trust, native(pki["ca"])], check=True, stdin=subprocess.DEVNULL)
            else:
                env["VW_TLS_CA"] = pki["ca"]
            xml = os.environ.get("VW_TEST_XML") or os.path.join(work, "result.xml")
            status = subprocess.run(runner + [exe, "--gtest_output=xml:" + native(xml)], env=env,
                                    stdin=subprocess.DEVNULL).returncode
        finally:
            for server in servers.values():
                server.stop()
    return status


if __name__ == "__main__":
    sys.exit(main())
