#pragma once
// The list file names the files to pack: one full path per line, CR LF or LF, in the
// system's ANSI code page. Blank lines (empty or only spaces and tabs) are skipped; other
// lines are taken exactly as written, apart from their line end.
#include <string>
#include <string_view>
#include <vector>

namespace ch::azip {

std::vector<std::string> parseListFile(std::string_view text);
// Reads and parses a list file; throws Failure(AZIP_ERR_LIST_FILE) when it cannot be read.
std::vector<std::string> readListFile(const std::string& path);

} // namespace ch::azip
