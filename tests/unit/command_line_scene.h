#pragma once
// A scheduled run's world: the program in C:\Tools\Chathoard with C as its staging drive, a
// messenger database in C:\ICQ\db and an empty destination C:\Save.
#include "tests/support/fake_services.h"

namespace ch::test {

struct CommandLineScene : FakeServices {
    CommandLineScene() {
        App.Path = "C:\\Tools\\Chathoard";
        fs.addFile("C:\\Tools\\Chathoard\\defaultdrive.ini", "C\r\n");
        fs.addFile("C:\\ICQ\\db\\a.dat", "chat");
        fs.addFile("C:\\ICQ\\db\\a.idx", "index");
        fs.addFolder("C:\\Save");
    }
};

} // namespace ch::test
