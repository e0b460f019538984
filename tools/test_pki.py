"""A throwaway certificate authority for TLS tests, made fresh at test time.

    pki = make_test_pki("/tmp/some/dir")
    pki["ca"]            the trusted root (PEM); hand it to the client
    pki["good"]          (cert, key) for "localhost", "watch.test" (a name only
                         the tests' proxy knows) and the address 127.0.0.1
    pki["other_host"]    (cert, key) for "other.invalid"
    pki["expired"]       (cert, key) for "localhost", validity ended yesterday
    pki["untrusted"]     (cert, key) for "localhost" from a second root that
                         nobody trusts
    pki["untrusted_ca"]  that second root (PEM), for tests that want it
    pki["aia"]           (cert, key) for "localhost" whose file lacks the
                         intermediate; the certificate says where to fetch
                         it: http://127.0.46.1/<random>.crt, a fresh address
                         each time so that no cache has an answer for it

As on real sites, the root signs an intermediate that signs the leaves, and
each cert file holds the leaf followed by its intermediate, which is what a
server sends.

Every value is a file path. From the shell:

    python3 tools/test_pki.py DIR      writes the files into DIR and prints
                                       one "name path [key-path]" per line

Wine checks DNS names only, not the addresses in certificates, so tests
that reach a server by address expect its refusal under Wine. Keys are
P-256: quick to make, and every TLS stack here accepts them.
"""
import datetime
import ipaddress
import os
import sys

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.hazmat.primitives.asymmetric.utils import decode_dss_signature
from cryptography.x509.oid import AuthorityInformationAccessOID, ExtendedKeyUsageOID, NameOID

DAY = datetime.timedelta(days=1)


def _name(common_name):
    return x509.Name([x509.NameAttribute(NameOID.ORGANIZATION_NAME, "Vostle Watch tests"),
                      x509.NameAttribute(NameOID.COMMON_NAME, common_name)])


def _signed(builder, key):
    """The certificate signed so that both halves of its ECDSA signature
    take 32 bytes: Wine's check refuses one that is shorter (about one
    signature in 128), which made TLS tests fail at random."""
    for _ in range(64):
        cert = builder.sign(key, hashes.SHA256())
        r, s = decode_dss_signature(cert.signature)
        if min(r.bit_length(), s.bit_length()) > 248:
            break
    return cert


def _key():
    return ec.generate_private_key(ec.SECP256R1())


def _authority(common_name, now, issuer=None):
    """A root, or with issuer=(cert, key) an intermediate below it."""
    key = _key()
    public = key.public_key()
    issuer_cert, issuer_key = issuer or (None, key)
    builder = (x509.CertificateBuilder()
               .subject_name(_name(common_name))
               .issuer_name(issuer_cert.subject if issuer_cert else _name(common_name))
               .public_key(public).serial_number(x509.random_serial_number())
               .not_valid_before(now - DAY).not_valid_after(now + 30 * DAY))
    if issuer_cert:
        builder = builder.add_extension(
            x509.AuthorityKeyIdentifier.from_issuer_public_key(issuer_key.public_key()), critical=False)
    cert = (builder
            .add_extension(x509.BasicConstraints(ca=True, path_length=0 if issuer_cert else 1), critical=True)
            .add_extension(x509.KeyUsage(digital_signature=False, content_commitment=False, key_encipherment=False,
                                         data_encipherment=False, key_agreement=False, key_cert_sign=True,
                                         crl_sign=True, encipher_only=False, decipher_only=False), critical=True)
            .add_extension(x509.SubjectKeyIdentifier.from_public_key(public), critical=False))
    return _signed(cert, issuer_key), key


def _leaf(host, issuer_cert, issuer_key, not_before, not_after, names=(), issuer_url=None):
    key = _key()
    public = key.public_key()
    alternatives = [x509.DNSName(host)] + [x509.IPAddress(ipaddress.ip_address(n)) if n[0].isdigit() else x509.DNSName(n)
                                           for n in names]
    builder = (x509.CertificateBuilder()
               .subject_name(_name(host)).issuer_name(issuer_cert.subject)
               .public_key(public).serial_number(x509.random_serial_number())
               .not_valid_before(not_before).not_valid_after(not_after))
    if issuer_url:
        builder = builder.add_extension(x509.AuthorityInformationAccess([x509.AccessDescription(
            AuthorityInformationAccessOID.CA_ISSUERS, x509.UniformResourceIdentifier(issuer_url))]), critical=False)
    cert = (builder
            .add_extension(x509.SubjectAlternativeName(alternatives), critical=False)
            .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=True)
            .add_extension(x509.KeyUsage(digital_signature=True, content_commitment=False, key_encipherment=False,
                                         data_encipherment=False, key_agreement=False, key_cert_sign=False,
                                         crl_sign=False, encipher_only=False, decipher_only=False), critical=True)
            .add_extension(x509.ExtendedKeyUsage([ExtendedKeyUsageOID.SERVER_AUTH]), critical=False)
            .add_extension(x509.SubjectKeyIdentifier.from_public_key(public), critical=False)
            .add_extension(x509.AuthorityKeyIdentifier.from_issuer_public_key(issuer_key.public_key()), critical=False))
    return _signed(cert, issuer_key), key


def _write_certs(path, *certs):
    with open(path, "wb") as f:
        for cert in certs:
            f.write(cert.public_bytes(serialization.Encoding.PEM))
    return path


def _write_pair(directory, name, chain, key):
    key_path = os.path.join(directory, name + ".key")
    with open(key_path, "wb") as f:
        f.write(key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                  serialization.NoEncryption()))
    return _write_certs(os.path.join(directory, name + ".pem"), *chain), key_path


def make_test_pki(directory):
    """Writes a fresh root, a second untrusted root, their intermediates and
    five leaves into `directory` (made if missing); returns the paths (see
    the module text)."""
    os.makedirs(directory, exist_ok=True)
    now = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
    ca = _authority("Vostle Watch test root", now)
    middle = _authority("Vostle Watch test intermediate", now, issuer=ca)
    stranger = _authority("Vostle Watch untrusted root", now)
    stranger_middle = _authority("Vostle Watch untrusted intermediate", now, issuer=stranger)
    valid = (now - DAY, now + 30 * DAY)
    leaves = {
        "good": ("localhost", middle, *valid, {"names": ("watch.test", "127.0.0.1")}),
        "other_host": ("other.invalid", middle, *valid, {}),
        "expired": ("localhost", middle, now - 30 * DAY, now - DAY, {}),
        "untrusted": ("localhost", stranger_middle, *valid, {}),
        "aia": ("localhost", middle, *valid, {"issuer_url": f"http://127.0.46.1/{os.urandom(6).hex()}.crt"}),
    }
    pki = {"ca": _write_certs(os.path.join(directory, "ca.pem"), ca[0]),
           "untrusted_ca": _write_certs(os.path.join(directory, "untrusted-ca.pem"), stranger[0])}
    for name, (host, issuer, not_before, not_after, extra) in leaves.items():
        cert, key = _leaf(host, *issuer, not_before, not_after, **extra)
        chain = (cert,) if "issuer_url" in extra else (cert, issuer[0])
        pki[name] = _write_pair(directory, name.replace("_", "-"), chain, key)
    return pki


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: test_pki.py DIR")
    for name, value in make_test_pki(sys.argv[1]).items():
        print(name, *(value if isinstance(value, tuple) else (value,)))
