// Saves one of Quintaro's files through the program's own code, for the test
// that kills a save half-way: the bytes come from the settings writer, the
// station list writer or the batch file maker, and go to disk through
// writeFileAtomically, exactly as the window saves them.
//
//   atomic_writer_helper write settings|list|batch 0|1 FILE
//       saves version 0 or 1 of the contents once (the test's reference).
//   atomic_writer_helper loop settings|list|batch FILE
//       saves version 1, 0, 1, 0, ... until killed; after the first save it
//       prints "ready MICROSECONDS" (the time that save took) on a line.

#include "AtomicFile.h"
#include "BatchFile.h"
#include "SettingsFile.h"
#include "StationListFile.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Two versions of different sizes, each large enough that one save takes a
// while, so that a kill at a random moment often lands inside one.
std::vector<std::string> calls(int version)
{
    std::vector<std::string> result;
    const int count = version == 0 ? 150000 : 120000;
    result.reserve(count);
    for (int i = 0; i < count; ++i)
        result.push_back((version == 0 ? "IK" : "IZ") + std::to_string(100000 + i) +
                         (version == 0 ? "" : "-1"));
    return result;
}

std::string contents(const std::string &kind, int version)
{
    if (kind == "settings") {
        quintaro::Settings s;
        s.host = version == 0 ? "127.0.0.1" : "radio.lan";
        s.path = "/opt/brezomat/" +
                 std::string(version == 0 ? 1 << 20 : (1 << 20) + 333, version == 0 ? 'a' : 'b');
        s.left = version == 0 ? 0 : 120;
        s.top = version == 0 ? 0 : 240;
        s.width = version == 0 ? 4900 : 6000;
        s.height = version == 0 ? 2950 : 4000;
        s.autoConnect = version == 1;
        return quintaro::writeSettings(s);
    }
    if (kind == "list")
        return quintaro::stations::writeStationList(calls(version));
    if (kind == "batch") {
        const std::vector<std::string> all = calls(version);
        const std::vector<std::string> some(all.begin(), all.begin() + all.size() / 2);
        return quintaro::stations::makeBatchFile(version == 0 ? "/opt/brezomat/Orbetti"
                                                              : "C:\\Brezomat\\Orbetti.exe",
                                                 version == 0 ? "127.0.0.1" : "radio.lan", some)
            .bytes;
    }
    return {};
}

int usage()
{
    std::fprintf(stderr, "usage: atomic_writer_helper write settings|list|batch 0|1 FILE\n"
                         "       atomic_writer_helper loop settings|list|batch FILE\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return usage();
    const std::string mode = argv[1];
    if (mode == "write" && argc == 5) {
        const std::string bytes = contents(argv[2], std::atoi(argv[3]));
        if (bytes.empty())
            return usage();
        const quintaro::FileWriteResult result = quintaro::writeFileAtomically(argv[4], bytes);
        if (!result.ok) {
            std::fprintf(stderr, "%s\n", result.error.c_str());
            return 1;
        }
        return 0;
    }
    if (mode == "loop" && argc == 4) {
        const std::string versions[2] = {contents(argv[2], 0), contents(argv[2], 1)};
        if (versions[0].empty())
            return usage();
        for (unsigned long round = 1;; ++round) {
            const auto start = std::chrono::steady_clock::now();
            const quintaro::FileWriteResult result =
                quintaro::writeFileAtomically(argv[3], versions[round % 2]);
            if (!result.ok) {
                std::fprintf(stderr, "%s\n", result.error.c_str());
                return 1;
            }
            if (round == 1) {
                const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                    std::chrono::steady_clock::now() - start);
                std::printf("ready %lld\n", static_cast<long long>(took.count()));
                std::fflush(stdout);
            }
        }
    }
    return usage();
}
