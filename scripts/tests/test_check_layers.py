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
            "selection/folder_detection.cpp": ("selection/drive_selection.h", False),
            "tests/unit/form1_test.cpp": ("app/form1.h", False),
        }
        with tempfile.TemporaryDirectory() as root:
            for name, (include, _) in cases.items():
                os.makedirs(os.path.join(root, os.path.dirname(name)), exist_ok=True)
                with open(os.path.join(root, name), "w") as f:
                    f.write(f'#include <string>\n\n#include "{include}"\n')
            found = check_layers.violations(root, list(cases))
        expected = [f"{name}:3: includes {include}, a layer above it"
                    for name, (include, up) in cases.items() if up]
        self.assertEqual(found, expected)


if __name__ == "__main__":
    unittest.main()
