// Encrypted archives, judged by 7-Zip and bsdtar: they open with the password, refuse
// without it or with another, and give back every byte.
#include <gtest/gtest.h>

#include "tests/unit/azip32_test_files.h"

namespace ch::azip::test {
namespace {

struct Output {
    int status;
    std::string output;
};

Output run(const TempDir& dir, const std::string& command) {
    const std::string out = dir / "run.out";
    const int status = std::system((command + " > '" + out + "' 2>&1 < /dev/null").c_str());
    Output r{status, readFile(out)};
    std::filesystem::remove(out);
    return r;
}

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

int32_t addZipWithPassword(const std::string& archive, const std::string& list,
                           const char* password) {
    addZIP_Initialise();
    addZIP_SetPassword(password);
    addZIP_ArchiveName(archive.c_str());
    addZIP_IncludeListFile(list.c_str());
    return addZIP();
}

TEST(EncryptedArchiveTest, SevenZipAndBsdtarOpenItWithThePasswordOnly) {
    TempDir src, out;
    const std::vector<std::pair<std::string, std::string>> files = {
        {"Messages.dat", chat(3 * 512 * 1024 + 777, 1)}, // several blocks, deflated
        {"Noise.idx", noise(70000, 2)},                  // stored: deflate does not shrink it
        {"Empty.idx", ""},
        {"Small.dat", "hello"}};
    std::vector<std::string> paths;
    for (const auto& [name, bytes] : files) {
        writeFile(src / name, bytes, 1104537600);
        paths.push_back(src / name);
    }
    const std::string zip = out / "chathoard.zip";
    ASSERT_EQ(addZipWithPassword(zip, writeList(out, paths), "S3cret pass"), AZIP_OK);

    const Output list = run(out, "7z l -slt -p'S3cret pass' '" + zip + "'");
    EXPECT_EQ(list.status, 0) << list.output;
    EXPECT_EQ(count(list.output, "Method = AES-256"), files.size()) << list.output;
    EXPECT_EQ(count(list.output, "Encrypted = +"), files.size()) << list.output;
    EXPECT_EQ(run(out, "7z t -p'S3cret pass' '" + zip + "'").status, 0);
    EXPECT_NE(run(out, "7z t -p'S3cret Pass' '" + zip + "'").status, 0);
    EXPECT_NE(run(out, "7z t -p '" + zip + "'").status, 0);

    // Names stay readable without the password.
    const Output names = run(out, "bsdtar -tf '" + zip + "'");
    EXPECT_EQ(names.output, "Messages.dat\nNoise.idx\nEmpty.idx\nSmall.dat\n");

    ASSERT_EQ(std::system(("mkdir '" + (out / "x") + "'").c_str()), 0);
    EXPECT_NE(run(out, "bsdtar -xf '" + zip + "' -C '" + (out / "x") + "' Messages.dat").status, 0);
    const Output x =
        run(out, "bsdtar --passphrase 'S3cret pass' -xf '" + zip + "' -C '" + (out / "x") + "'");
    EXPECT_EQ(x.status, 0) << x.output;
    for (const auto& [name, bytes] : files)
        EXPECT_TRUE(readFile(out / ("x/" + name)) == bytes) << name;

    // Initialise forgets the password: the next archive is plain again.
    ASSERT_EQ(addZip(zip, out / "icqtemp.dat"), AZIP_OK);
    const Output plain = run(out, "7z l -slt '" + zip + "'");
    EXPECT_EQ(count(plain.output, "Encrypted = -"), files.size()) << plain.output;
}

} // namespace
} // namespace ch::azip::test
