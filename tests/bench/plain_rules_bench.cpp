// Speed of the plain rules on lists far larger than a usual system has: the
// classification, reading proc.dat, the refresh's rows and the list's sort.
// The texts are code page 936 bytes, as in the program.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "blocklist/BlockListRules.h"
#include "controls/ListRules.h"
#include "process/BlockWatch.h"
#include "process/ProcessRules.h"
#include "process/ReferenceInfo.h"
#include "process/Refresh.h"

namespace {

// Chinese words as code page 936 bytes; the last ones have a second byte in
// 0x41..0x5A, which the name test folds like an ASCII capital.
const char* const kChineseWords[] = {
    "\xCC\xDA\xD1\xB6",                          // 腾讯
    "\xD0\xC2\xBD\xA8\xCE\xC4\xBC\xFE\xBC\xD0",  // 新建文件夹
    "\xC9\xB1\xB6\xBE",                          // 杀毒
    "\xCA\xE4\xC8\xEB\xB7\xA8",                  // 输入法
    "\xE4\xAF\xC0\xC0\xC6\xF7",                  // 浏览器
    "\xD2\xF4\xC0\xD6\xB2\xA5\xB7\xC5\xC6\xF7",  // 音乐播放器
    "\xCF\xC2\xD4\xD8\xB9\xA4\xBE\xDF",          // 下载工具
    "\xD3\xCE\xCF\xB7",                          // 游戏
    "\xB8\xFC\xD0\xC2\xB3\xCC\xD0\xF2",          // 更新程序
    "\xD6\xFA\xCA\xD6",                          // 助手
    "\x81\x58\xCE\xC0\xCA\xBF",                  // 乆卫士
    "\xB0\xB2\xC8\xAB\xD7\x4B",                  // 安全 and a GBK/4 character
};

const char* const kSyllables[] = {"win",   "net", "up",   "date", "svc",   "host",  "run",   "sys",  "tray",  "mon",
                                  "agent", "dl",  "help", "er",   "Soft",  "Cloud", "Media", "Sync", "core",  "x",
                                  "Game",  "Pro", "lite", "av",   "guard", "ie",    "qq",    "mail", "print", "boot"};

const char* const kVendors[] = {"Microsoft Office",
                                "Common Files",
                                "Mozilla Firefox",
                                "Adobe",
                                "NVIDIA Corporation",
                                "Realtek",
                                "Google\\Chrome\\Application",
                                "WindowsApps",
                                "Steam",
                                "Intel"};

class Generator {
public:
    explicit Generator(uint32_t seed) : random_(seed) {}

    int Below(int limit) { return static_cast<int>(random_() % static_cast<uint32_t>(limit)); }
    bool Chance(int percent) { return Below(100) < percent; }

    // A program name such as "CloudSyncagent12.exe" or one with Chinese words.
    // Names of unwanted programs are longer and always carry a number.
    std::string ProgramName(bool unwanted = false) {
        std::string name;
        if (Chance(15)) name += kChineseWords[Below(std::size(kChineseWords))];
        const int parts = unwanted ? 2 + Below(3) : 1 + Below(3);
        for (int i = 0; i < parts; ++i) name += kSyllables[Below(std::size(kSyllables))];
        if (unwanted || Chance(40)) name += std::to_string(Below(unwanted ? 1000 : 100));
        name += Chance(70) ? ".exe" : ".EXE";
        return name;
    }

    std::string PathName(bool unwanted = false) {
        std::string path = Chance(50) ? "C:\\Program Files\\" : "C:\\Program Files (x86)\\";
        path += kVendors[Below(std::size(kVendors))];
        path += '\\';
        if (Chance(30)) {
            path += kChineseWords[Below(std::size(kChineseWords))];
            path += '\\';
        }
        return path + ProgramName(unwanted);
    }

private:
    std::mt19937 random_;
};

std::string ReadSourceFile(const char* relative) {
    std::ifstream file(std::string(TVX_SOURCE_DIR) + "/" + relative, std::ios::binary);
    if (!file) throw std::runtime_error(std::string("cannot read ") + relative);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The shipped reference lines, then lines of the same form for other programs
// until there are count of them.
std::vector<std::string> ReferenceLines(size_t count) {
    const std::vector<std::string> shipped = ParseReferenceInfo(ReadSourceFile("res/processinfo.dat"));
    std::vector<std::string> lines(shipped.begin(), shipped.begin() + std::min(shipped.size(), count));
    // The descriptions of the shipped programs ("svchost.exe 通用服务...").
    std::vector<std::string> descriptions;
    for (const std::string& line : shipped) {
        const size_t space = line.find(' ');
        if (space != std::string::npos && ContainsNoCase(line.substr(0, space), ".exe")) {
            descriptions.push_back(line.substr(space));
        }
    }
    Generator generator(7);
    for (size_t i = 0; lines.size() < count; ++i) {
        lines.push_back(generator.ProgramName() + descriptions[i % descriptions.size()]);
    }
    return lines;
}

std::vector<std::string> BlockEntries(size_t count) {
    Generator generator(11);
    std::vector<std::string> entries;
    while (entries.size() < count) {
        entries.push_back(generator.Chance(10) ? generator.PathName(true) : generator.ProgramName(true));
    }
    return entries;
}

// Process names as a large system lists them: services, shipped system
// programs, applications with and without directories, some blocked, some the
// program itself.
std::vector<std::string> ProcessNames(size_t count, const std::vector<std::string>& referenceLines,
                                      const std::vector<std::string>& blockEntries) {
    Generator generator(3);
    std::vector<std::string> names;
    while (names.size() < count) {
        const int kind = generator.Below(100);
        if (kind < 15) {
            names.push_back("svchost.exe");
        } else if (kind < 20) {
            names.push_back(SystemProcessNames[generator.Below(SystemProcessNames.size())]);
        } else if (kind < 35) {
            const std::string& line = referenceLines[generator.Below(82)];
            names.push_back(line.substr(0, line.find(' ')));
        } else if (kind < 40) {
            names.push_back("C:\\Program Files\\" + blockEntries[generator.Below(blockEntries.size())]);
        } else if (kind < 41) {
            names.push_back("tarvemonix.exe");
        } else if (kind < 70) {
            names.push_back(generator.PathName());
        } else {
            names.push_back(generator.ProgramName());
        }
    }
    return names;
}

struct Tables {
    std::vector<std::string> referenceLines = ReferenceLines(300);
    std::vector<std::string> blockEntries = BlockEntries(1000);
    BlockList blockList;

    Tables() {
        for (const std::string& entry : blockEntries) blockList.AddLoaded(entry);
    }
};

const Tables& SharedTables() {
    static const Tables tables;
    return tables;
}

// As a refresh does it: the reference lines are prepared once (counted in the
// figure), then every name is classified.
void classify_10000_names(benchmark::State& state) {
    const Tables& tables = SharedTables();
    const std::vector<std::string> names = ProcessNames(10000, tables.referenceLines, tables.blockEntries);
    for (auto _ : state) {
        const PreparedReference reference(tables.referenceLines);
        int dangerous = 0;
        for (const std::string& name : names) {
            dangerous += ClassifyProcess(name, tables.blockList, reference) == ProcessCategory::CategoryDangerous;
        }
        benchmark::DoNotOptimize(dangerous);
    }
}
BENCHMARK(classify_10000_names)->Unit(benchmark::kMillisecond);

// Each name searched through the reference lines one by one.
void classify_10000_names_unprepared(benchmark::State& state) {
    const Tables& tables = SharedTables();
    const std::vector<std::string> names = ProcessNames(10000, tables.referenceLines, tables.blockEntries);
    for (auto _ : state) {
        int dangerous = 0;
        for (const std::string& name : names) {
            dangerous +=
                ClassifyProcess(name, tables.blockList, tables.referenceLines) == ProcessCategory::CategoryDangerous;
        }
        benchmark::DoNotOptimize(dangerous);
    }
}
BENCHMARK(classify_10000_names_unprepared)->Unit(benchmark::kMillisecond);

void read_100000_block_names(benchmark::State& state) {
    Generator generator(5);
    std::string file;
    for (int i = 0; i < 100000; ++i) {
        file += generator.Chance(10) ? generator.PathName() : generator.ProgramName();
        file += "\r\n";
    }
    file += "EOF";
    for (auto _ : state) {
        std::vector<std::string> names = ReadBlockNames(file);
        benchmark::DoNotOptimize(names.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
}
BENCHMARK(read_100000_block_names)->Unit(benchmark::kMillisecond);

// The one-second block check with 300 processes, one of them new, against the
// block table of 1,000 entries: the keys of a fresh look, then the search.
void block_check_300_processes(benchmark::State& state) {
    const Tables& tables = SharedTables();
    const std::vector<std::string> names = ProcessNames(300, tables.referenceLines, tables.blockEntries);
    std::vector<ProcessKey> known;
    for (size_t index = 0; index < names.size(); ++index) {
        known.push_back({static_cast<uint32_t>(4 * index + 8), names[index]});
    }
    BlockWatch watch;
    for (auto _ : state) {
        state.PauseTiming();
        watch.Remember(known);
        std::vector<ProcessKey> current = known;
        current.back().pid += 4000;  // one process ended and another came
        state.ResumeTiming();
        benchmark::DoNotOptimize(watch.FindsNewBlocked(std::move(current), tables.blockList, 1));
    }
}
BENCHMARK(block_check_300_processes)->Unit(benchmark::kMicrosecond);

// A system that walks a fixed list and lets every process be terminated, and
// a user who answers every question with no.
class ListedSystem : public ProcessSystem {
public:
    std::vector<ProcessRecord> processes;
    void WalkProcesses(const std::function<bool(const ProcessRecord&)>& visit) override {
        for (const ProcessRecord& record : processes) {
            if (!visit(record)) return;
        }
    }
    EndOutcome Terminate(const ProcessInstance&, std::string*) override { return EndOutcome::Ended; }
    bool IsRunning(const ProcessInstance&) override { return true; }
    bool EnableDebugPrivilege() override { return true; }
};

class RefusingPrompt : public MessagePrompt {
public:
    int Show(const std::string&, const std::string&, unsigned) override { return kIdNo; }
};

void build_rows_2000_processes(benchmark::State& state) {
    const Tables& tables = SharedTables();
    ListedSystem system;
    uint32_t pid = 0;
    for (std::string& name : ProcessNames(2000, tables.referenceLines, tables.blockEntries)) {
        ProcessRecord record;
        record.pid = pid;
        record.name = std::move(name);
        system.processes.push_back(std::move(record));
        pid += 4;
    }
    RefusingPrompt prompt;
    const int promptDangerous = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::vector<ProcessRow> rows =
            BuildProcessRows({tables.blockList, tables.referenceLines, promptDangerous, system, prompt});
        benchmark::DoNotOptimize(rows.data());
    }
}
BENCHMARK(build_rows_2000_processes)->Arg(0)->Arg(1)->ArgName("prompt")->Unit(benchmark::kMicrosecond);

// The main list's rows, sorted by one column as a click on its header does.
// Names compare without regard to ASCII case, like the platform's collation.
void sort_2000_rows(benchmark::State& state) {
    const Tables& tables = SharedTables();
    const std::vector<std::string> names = ProcessNames(2000, tables.referenceLines, tables.blockEntries);
    std::vector<std::vector<std::string>> rows;
    std::mt19937 random(13);
    for (const std::string& name : names) {
        const ProcessCategory category = ClassifyProcess(name, tables.blockList, tables.referenceLines);
        rows.push_back({name, CategoryWord(category), PidText(random() % 60000)});
    }
    const TextCollation collation = [](const std::string& x, const std::string& y) {
        const size_t common = std::min(x.size(), y.size());
        for (size_t i = 0; i < common; ++i) {
            const int a = (x[i] >= 'A' && x[i] <= 'Z') ? x[i] + 32 : static_cast<unsigned char>(x[i]);
            const int b = (y[i] >= 'A' && y[i] <= 'Z') ? y[i] + 32 : static_cast<unsigned char>(y[i]);
            if (a != b) return a < b ? -1 : 1;
        }
        return x.size() < y.size() ? -1 : (x.size() > y.size() ? 1 : 0);
    };
    const size_t column = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::vector<std::string>> sorted = rows;
        state.ResumeTiming();
        std::stable_sort(sorted.begin(), sorted.end(), [&](const auto& a, const auto& b) {
            return CompareCells(a[column], b[column], true, collation) < 0;
        });
        benchmark::DoNotOptimize(sorted.data());
    }
}
BENCHMARK(sort_2000_rows)->Arg(0)->Arg(2)->ArgName("column")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
