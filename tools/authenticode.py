#!/usr/bin/python3
"""Signs Windows files (exe, msi) with Authenticode, with Debian's
osslsigncode, when a certificate is configured; else leaves them unsigned.

    tools/authenticode.py FILE...     signs each FILE in place (nothing
                                      without a certificate)

The certificate comes from the environment, never from the command line
(whatever is on a command line shows in ps to every user of the machine):

    ZAV_SIGN_PKCS12          a PKCS#12 file (.pfx, .p12): the code-signing
                             certificate with its private key and chain
    ZAV_SIGN_PASSWORD        its password, or
    ZAV_SIGN_PASSWORD_FILE   a file whose first line is the password
    ZAV_SIGN_TIMESTAMP_URL   optional: an RFC 3161 time-stamp server, so
                             that the signature stays valid after the
                             certificate expires (needs the network)

osslsigncode gets the password through a pipe (-readpass /dev/stdin).
A signature holds the time of signing and is made with a key no other
builder has: signed files differ from build to build, unsigned ones do
not (tools/build_msi.py, tests/package/run_msi_test.sh).
"""
import os
import subprocess
import sys
import tempfile

DESCRIPTION = "ZAV-Konfiguration"


class SigningError(Exception):
    pass


def configured(environ=os.environ):
    """Whether a certificate is configured; refuses a half configuration."""
    pkcs12 = environ.get("ZAV_SIGN_PKCS12", "")
    if not pkcs12:
        for name in ("ZAV_SIGN_PASSWORD", "ZAV_SIGN_PASSWORD_FILE", "ZAV_SIGN_TIMESTAMP_URL"):
            if environ.get(name):
                raise SigningError(f"{name} is set, but ZAV_SIGN_PKCS12 names no certificate")
        return False
    if not os.path.isfile(pkcs12):
        raise SigningError(f"ZAV_SIGN_PKCS12: no such file {pkcs12}")
    return True


def password(environ=os.environ):
    if environ.get("ZAV_SIGN_PASSWORD_FILE"):
        try:
            with open(environ["ZAV_SIGN_PASSWORD_FILE"], encoding="utf-8") as source:
                return source.readline().rstrip("\r\n")
        except OSError as error:
            raise SigningError(f"ZAV_SIGN_PASSWORD_FILE: {error.strerror}: {error.filename}") from None
    return environ.get("ZAV_SIGN_PASSWORD", "")


def sign(path, environ=os.environ):
    """Signs PATH in place; the file is replaced only by a whole signed one."""
    command = ["osslsigncode", "sign", "-pkcs12", environ["ZAV_SIGN_PKCS12"], "-readpass", "/dev/stdin",
               "-h", "sha256", "-n", DESCRIPTION]
    if environ.get("ZAV_SIGN_TIMESTAMP_URL"):
        command += ["-ts", environ["ZAV_SIGN_TIMESTAMP_URL"]]
    folder = os.path.dirname(os.path.abspath(path))
    descriptor, signed = tempfile.mkstemp(prefix=".signing-", dir=folder)
    os.close(descriptor)
    os.remove(signed)  # osslsigncode writes a new file
    try:
        result = subprocess.run(command + ["-in", path, "-out", signed], input=password(environ) + "\n",
                                capture_output=True, text=True)
        if result.returncode != 0 or not os.path.isfile(signed):
            said = (result.stderr.strip() or result.stdout.strip()).splitlines()
            raise SigningError(f"osslsigncode could not sign {path}: {said[-1] if said else 'no output'}")
        os.chmod(signed, os.stat(path).st_mode & 0o777)
        os.replace(signed, path)
    finally:
        if os.path.exists(signed):
            os.remove(signed)


def main(paths):
    try:
        if not configured():
            return 0
        for path in paths:
            sign(path)
            print(f"signed {path}", file=sys.stderr)
    except SigningError as error:
        print(f"authenticode: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
