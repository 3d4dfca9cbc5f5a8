#!/usr/bin/env python3
"""tools/windows/sign-package on a copy of the Windows package, with a
code-signing certificate made for the run; each signature is checked by
osslsigncode against that certificate as the trusted authority.

    SignPackageTest.py TOOL PACKAGE
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

TOOL = PACKAGE = ""

# The programs a player and an operator get, each of which must be signed.
PROGRAMS = [
    "MoravoTown/MoravoTown.exe",
    "MoravoTown/hoplin.exe",
    "MoravoTown/Game.moravo/Game.dll",
    "operator/moravo-tool.exe",
    "operator/release-2/MoravoTown.exe",
    "operator/release-2/hoplin.exe",
    "operator/release-2/Game.moravo/Game.dll",
]


def make_signer(folder, name):
    """A self-signed certificate for code signing and its key."""
    cert = os.path.join(folder, f"{name}.pem")
    key = os.path.join(folder, f"{name}-key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", f"/CN={name}", "-addext", "extendedKeyUsage=codeSigning",
                    "-addext", "keyUsage=critical,digitalSignature"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return cert, key


def verify(folder, data, cert):
    """osslsigncode's verdict on `data` with `cert` the one trusted authority."""
    path = os.path.join(folder, "checked")
    with open(path, "wb") as out:
        out.write(data)
    done = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", path],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return done.returncode, done.stdout


def entries(path):
    with zipfile.ZipFile(path) as package:
        return [(info.filename, package.read(info.filename)) for info in package.infolist()]


class SignPackage(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="sign-package-test-")
        self.package = os.path.join(self.scratch, "package.zip")
        shutil.copyfile(PACKAGE, self.package)
        self.cert, self.key = make_signer(self.scratch, "Moravo test signer")

    def tearDown(self):
        shutil.rmtree(self.scratch)

    def sign(self, cert, key):
        return subprocess.run([sys.executable, TOOL, cert, key, self.package], env=dict(os.environ,
                              MORAVO_TIMESTAMP_URL=""), stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)

    def test_every_program_is_signed_and_every_other_entry_kept(self):
        before = entries(PACKAGE)
        done = self.sign(self.cert, self.key)
        self.assertEqual(done.returncode, 0, done.stdout)
        after = entries(self.package)
        self.assertEqual([name for name, _ in after], [name for name, _ in before])
        names = [name for name, _ in after]
        for program in PROGRAMS:
            self.assertIn(program, names)
        for (name, old), (_, new) in zip(before, after):
            with self.subTest(name=name):
                if name.lower().endswith((".exe", ".dll")):
                    code, said = verify(self.scratch, new, self.cert)
                    self.assertEqual(code, 0, said)
                    self.assertRegex(said, r"digest algorithm\s*:\s*SHA256")
                    code, said = verify(self.scratch, old, self.cert)
                    self.assertNotEqual(code, 0, "the copied package was unsigned")
                else:
                    self.assertEqual(new, old)

    def test_signing_again_replaces_the_signature(self):
        self.assertEqual(self.sign(self.cert, self.key).returncode, 0)
        cert2, key2 = make_signer(self.scratch, "Moravo second signer")
        done = self.sign(cert2, key2)
        self.assertEqual(done.returncode, 0, done.stdout)
        program = dict(entries(self.package))["MoravoTown/MoravoTown.exe"]
        self.assertEqual(verify(self.scratch, program, cert2)[0], 0)
        self.assertNotEqual(verify(self.scratch, program, self.cert)[0], 0)

    def test_a_key_of_another_certificate_leaves_the_package_unchanged(self):
        with open(self.package, "rb") as original:
            before = original.read()
        _, other_key = make_signer(self.scratch, "Moravo other signer")
        done = self.sign(self.cert, other_key)
        self.assertNotEqual(done.returncode, 0, done.stdout)
        self.assertIn("the package is unchanged", done.stdout)
        with open(self.package, "rb") as now:
            self.assertEqual(now.read(), before)
        self.assertFalse(os.path.exists(self.package + ".signing"))


if __name__ == "__main__":
    TOOL, PACKAGE = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
