#!/usr/bin/env python3
"""scripts/check-layers on small made-up trees: every kind of offence is found,
named with its file and line, and fails the check; what is allowed passes."""
import os
import subprocess
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "check-layers")


def check(files):
    """Runs the checker in a fresh git checkout holding `files` (path -> text)."""
    with tempfile.TemporaryDirectory() as top:
        for path, text in files.items():
            full = os.path.join(top, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "w") as out:
                out.write(text)
        subprocess.run(["git", "init", "-q", top], check=True)
        subprocess.run(["git", "-C", top, "add", "-A"], check=True)
        result = subprocess.run([SCRIPT], cwd=top, capture_output=True, text=True)
        return result.returncode, result.stdout.splitlines()


class CheckLayers(unittest.TestCase):
    def test_includes_downwards_and_os_headers_in_platform_pass(self):
        status, lines = check({
            "mapping/Block.h": '#include "support/KQ_ErrorReport.h"\n#include "ui/LampPicture.h"\n#include <cstdint>\n',
            "app/Dlg.cpp": '#include "app/Dlg.h"\n#include "dialogs/A.h"\n#include "mapping/ControlProcessor.h"\n',
            "platform/posix/Shm.cpp": '#include <sys/mman.h>\n#include <unistd.h>\n#include "mapping/GenericSimBlock.h"\n',
            "platform/qt/View.cpp": '#include <QWidget>\n#include "app/TavelinDlg.h"\n',
            "tools/simblock/main.cpp": '#include "mapping/GenericSimBlock.h"\n',
            "tests/app/t.cpp": '#include <windows.h>\n#include "platform/qt/View.h"\n',
            # the network link: between mapping/ and the presenters, its engine in platform/
            "net/Link.cpp": '#include "net/Link.h"\n#include "mapping/LinkValues.h"\n',
            "app/Net.cpp": '#include "net/Link.h"\n',
            "platform/cyclonedds/Engine.cpp": '#include <dds/dds.h>\n#include <openssl/x509.h>\n#include "net/Link.h"\n',
        })
        self.assertEqual(status, 0, lines)
        self.assertEqual(lines, ["layers: 0 offences"])

    def test_every_offence_is_named_and_fails(self):
        status, lines = check({
            # an upward include, two layers apart and one apart
            "mapping/Block.h": '#include <cstdint>\n#include "app/TavelinDlg.h"\n',
            "devices/Set.h": '#include "config/Reader.h"\n',
            # toolkit and OS headers outside platform/
            "support/Text.cpp": '#include <QString>\n#include <sys/mman.h>\n#include <windows.h>\n',
            # the block's layout above mapping/
            "app/Dlg.cpp": '#include "mapping/GenericSimBlock.h"\n',
            "dialogs/Tla.cpp": '\n  #  include "mapping/GenericSimBlock.h"\n',
            # a file directly in platform/
            "platform/Loose.cpp": "int x;\n",
            # the network link reaching above itself, spelling offsets, or holding the engine's headers
            "net/Link.cpp": '#include "config/Reader.h"\n#include "mapping/GenericSimBlock.h"\n#include <dds/dds.h>\n'
                            '#include <openssl/pem.h>\n',
        })
        self.assertEqual(status, 1)
        self.assertEqual(lines[-1], "layers: 12 offences")
        report = "\n".join(lines)
        for expected in ("mapping/Block.h:2 includes app/TavelinDlg.h", "devices/Set.h:1 includes config/Reader.h",
                         "support/Text.cpp:1", "support/Text.cpp:2", "support/Text.cpp:3",
                         "app/Dlg.cpp:1 includes mapping/GenericSimBlock.h",
                         "dialogs/Tla.cpp:2 includes mapping/GenericSimBlock.h", "platform/Loose.cpp",
                         "net/Link.cpp:1 includes config/Reader.h", "net/Link.cpp:2 includes mapping/GenericSimBlock.h",
                         "net/Link.cpp:3", "net/Link.cpp:4"):
            self.assertIn(expected, report)


if __name__ == "__main__":
    unittest.main()
