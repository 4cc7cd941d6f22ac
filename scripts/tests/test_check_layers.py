"""The layer check: which includes point up."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import check_layers  # noqa: E402


class CheckLayersTest(unittest.TestCase):
    def test_only_includes_that_point_up_are_reported(self):
        cases = {  # file: (its include, points up)
            "platform/file_system.cpp": ("backup/zip_reader.h", True),
            "backup/zip_backup.cpp": ("app/form1.h", True),
            "backup/zip_reader.cpp": ("platform/win32/win32_file_system.h", True),
            "azip32/archive_writer.cpp": ("platform/file_system.h", True),
            "app/win32/main_window.cpp": ("platform/win32/gui_views.h", False),
            "app/command_line.cpp": ("about/menu_commands.h", False),
            "backup/verify.cpp": ("azip32/zip_format.h", False),
            "backup/restore.cpp": ("platform/services.h", True),
            "backup/database_detection.cpp": ("platform/controls.h", True),
            "app/selection_handlers.cpp": ("backup/database_detection.h", False),
            "app/backup_command_line.cpp": ("platform/controls.h", True),
            "tests/unit/form1_test.cpp": ("app/form1.h", False),
        }
        with tempfile.TemporaryDirectory() as root:
            for name, (include, _) in cases.items():
                os.makedirs(os.path.join(root, os.path.dirname(name)), exist_ok=True)
                with open(os.path.join(root, name), "w") as f:
                    f.write(f'#include <string>\n\n#include "{include}"\n')
            found = check_layers.violations(root, list(cases))
        self.assertEqual([line.split(",")[0] for line in found],
                         [f"{name}:3: includes {include}" for name, (include, up) in cases.items()
                          if up])

    def test_a_source_file_outside_the_layers_has_no_home(self):
        with tempfile.TemporaryDirectory() as root:
            for name in ("selection/folder_detection.cpp", "tests/unit/x_test.cpp"):
                os.makedirs(os.path.join(root, os.path.dirname(name)), exist_ok=True)
                open(os.path.join(root, name), "w").close()
            found = check_layers.violations(root, ["selection/folder_detection.cpp",
                                                   "tests/unit/x_test.cpp"])
        self.assertEqual(found, ["selection/folder_detection.cpp: lies in no layer"])

    def test_headers_that_include_each_other_are_a_loop(self):
        headers = {"app/a.h": "app/b.h", "app/b.h": "app/c.h", "app/c.h": "app/a.h",
                   "app/d.h": "app/a.h"}
        with tempfile.TemporaryDirectory() as root:
            os.makedirs(os.path.join(root, "app"))
            for name, include in headers.items():
                with open(os.path.join(root, name), "w") as f:
                    f.write(f'#pragma once\n#include "{include}"\n')
            loops = check_layers.include_loops(root, sorted(headers))
        self.assertEqual(loops, ["app/a.h -> app/b.h -> app/c.h -> app/a.h: headers that include "
                                 "each other"])


if __name__ == "__main__":
    unittest.main()
