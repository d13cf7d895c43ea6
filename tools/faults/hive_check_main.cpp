// hive_check [--contents] [--lines N] HIVE...: the index checker (src/registry/hive/hive_check.h)
// over hive files, for scripts and for looking at a hive by hand. Prints each hive's findings
// (at most N lines, default 20) or "clean"; with --contents, what the hive holds instead.
// hive_check --change BEFORE AFTER: the rules of a write between two copies of a hive (keys
// changed keep their time, the header's time).
// Exit status: 0 every hive clean, 1 a finding in any, 2 a file that cannot be read.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "registry/hive/hive_check.h"

namespace {

bool Read(const char* path, std::string* bytes) {
    std::ifstream in(path, std::ios::binary);
    bytes->assign(std::istreambuf_iterator<char>(in), {});
    if (in.good() || in.eof()) return true;
    std::fprintf(stderr, "hive_check: cannot read %s\n", path);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--change") {
        std::string before;
        std::string after;
        if (!Read(argv[2], &before) || !Read(argv[3], &after)) return 2;
        const auto findings = platform::hive::CheckChange(before, after);
        for (const auto& finding : findings) {
            std::printf("%s%s%s\n", finding.key.c_str(), finding.key.empty() ? "" : ": ",
                        finding.text.c_str());
        }
        if (findings.empty()) std::printf("%s: the write is as Windows makes it\n", argv[3]);
        return findings.empty() ? 0 : 1;
    }
    bool contents = false;
    std::size_t lines = 20;
    int status = 0;
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--contents") {
            contents = true;
            continue;
        }
        if (arg == "--lines" && i + 1 < argc) {
            lines = static_cast<std::size_t>(std::strtoul(argv[++i], nullptr, 10));
            continue;
        }
        ++files;
        std::string bytes;
        if (!Read(argv[i], &bytes)) {
            status = 2;
            continue;
        }
        std::string held;
        const platform::hive::CheckResult result =
            platform::hive::CheckHive(bytes, contents ? &held : nullptr);
        if (contents) {
            std::fwrite(held.data(), 1, held.size(), stdout);
        } else if (result.clean()) {
            std::printf("%s: clean (%zu keys, %zu values, %zu bins)\n", arg.c_str(), result.keys,
                        result.values, result.bins);
        } else {
            std::printf("%s: %zu findings, %zu of them damage (%zu keys, %zu values)\n%s",
                        arg.c_str(), result.total, result.damage, result.keys, result.values,
                        result.Text(lines).c_str());
        }
        if (!result.clean() && status == 0) status = 1;
    }
    if (files == 0) {
        std::fprintf(stderr, "usage: hive_check [--contents] [--lines N] HIVE...\n");
        return 2;
    }
    return status;
}
