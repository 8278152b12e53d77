// Runs one fuzz target (see fuzz.h): seeds the corpus folder for libFuzzer, or, built without
// libFuzzer, mutates the seeds and the corpus at random for a bounded time.
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <vector>

#include "fuzz.h"

void FuzzCheck(bool ok, const char *promise)
{
    if (ok)
        return;
    std::fprintf(stderr, "==fuzz== broken promise: %s\n", promise);
    std::abort();
}

namespace {

bool IsFolder(const char *path)
{
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool WriteFile(const std::string &path, const std::string &bytes)
{
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// The seeds go into the corpus folder under fixed names, so a kept corpus gets them once.
void WriteSeeds(const char *folder)
{
    const std::vector<std::string> seeds = FuzzSeeds();
    for (size_t i = 0; i < seeds.size(); ++i)
        if (!WriteFile(std::string(folder) + "/seed-" + std::to_string(i), seeds[i]))
            std::fprintf(stderr, "cannot write seed %zu into %s\n", i, folder);
}

} // namespace

#ifdef KV_LIBFUZZER

// libFuzzer calls this before it reads its corpus: the first argument that is a folder is it.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    for (int i = 1; i < *argc; ++i)
        if ((*argv)[i][0] != '-' && IsFolder((*argv)[i])) {
            WriteSeeds((*argv)[i]);
            break;
        }
    return 0;
}

#else

#include <sanitizer/common_interface_defs.h>

#include <ctime>
#include <random>

namespace {

std::string g_artifactPrefix = "./";
const std::string *g_current = nullptr; // the input being checked

// A finding (a sanitizer's report or a broken promise): keep the input for scripts/fuzz to show.
void SaveCurrentInput()
{
    if (!g_current)
        return;
    const std::string path = g_artifactPrefix + "crash-input";
    if (WriteFile(path, *g_current))
        std::fprintf(stderr, "==fuzz== input written to %s\n", path.c_str());
}

void OnAbort(int)
{
    SaveCurrentInput();
    std::signal(SIGABRT, SIG_DFL);
    std::abort();
}

void Check(const std::string &input)
{
    g_current = &input;
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(input.data()), input.size());
    g_current = nullptr;
}

bool ReadFile(const std::string &path, std::string *bytes)
{
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    char buffer[4096];
    size_t got;
    bytes->clear();
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes->append(buffer, got);
    std::fclose(file);
    return true;
}

void ReadCorpus(const char *folder, std::vector<std::string> *inputs)
{
    DIR *dir = opendir(folder);
    if (!dir)
        return;
    std::string bytes;
    while (const dirent *entry = readdir(dir))
        if (entry->d_name[0] != '.' && ReadFile(std::string(folder) + "/" + entry->d_name, &bytes))
            inputs->push_back(bytes);
    closedir(dir);
}

// One to eight random edits: a byte replaced or bit flipped, an interesting 32-bit value
// written at an aligned offset, the input cut, or a byte inserted.
void Mutate(std::string *b, std::mt19937 &random)
{
    static const uint32_t kInteresting[] = {0, 1, 3, 4, 7, 8, 24, 40, 64, 88, 0x7FFFFFFF,
                                            0x80000000u, 0xFFFFFFFFu, 0xFFFFFFFEu};
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits && !b->empty(); ++e) {
        const size_t at = random() % b->size();
        switch (random() % 5) {
        case 0: (*b)[at] = static_cast<char>(random()); break;
        case 1: (*b)[at] = static_cast<char>((*b)[at] ^ (1u << (random() % 8))); break;
        case 2:
            if (b->size() - (at & ~static_cast<size_t>(3)) >= 4) {
                const uint32_t v = kInteresting[random() % (sizeof kInteresting / 4)];
                std::memcpy(&(*b)[at & ~static_cast<size_t>(3)], &v, 4);
            }
            break;
        case 3: b->resize(at); break;
        default: b->insert(b->begin() + static_cast<long>(at), static_cast<char>(random())); break;
        }
    }
}

bool Option(const char *arg, const char *name, long *value)
{
    const size_t length = std::strlen(name);
    if (std::strncmp(arg, name, length) != 0)
        return false;
    *value = std::atol(arg + length);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    long seconds = 60, seed = 1;
    std::vector<std::string> inputs = FuzzSeeds();
    std::vector<std::string> replay;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (Option(arg, "-max_total_time=", &seconds) || Option(arg, "-seed=", &seed))
            continue;
        if (std::strncmp(arg, "-artifact_prefix=", 17) == 0)
            g_artifactPrefix = arg + 17;
        else if (arg[0] == '-')
            continue; // libFuzzer's other options mean nothing here
        else if (IsFolder(arg)) {
            WriteSeeds(arg);
            ReadCorpus(arg, &inputs);
        } else
            replay.push_back(arg);
    }
    std::signal(SIGABRT, OnAbort);
    __sanitizer_set_death_callback(SaveCurrentInput);

    if (!replay.empty()) { // run the given files once, as libFuzzer does
        std::string bytes;
        for (const std::string &path : replay) {
            if (!ReadFile(path, &bytes)) {
                std::fprintf(stderr, "cannot read %s\n", path.c_str());
                return 1;
            }
            Check(bytes);
        }
        std::printf("Executed %zu inputs, no finding\n", replay.size());
        return 0;
    }

    std::mt19937 random(static_cast<unsigned>(seed));
    const std::time_t start = std::time(nullptr);
    unsigned long runs = 0;
    for (const std::string &input : inputs)
        Check(input), ++runs;
    while (std::time(nullptr) - start < seconds) {
        for (int batch = 0; batch < 1000; ++batch, ++runs) {
            std::string input = inputs[random() % inputs.size()];
            Mutate(&input, random);
            Check(input);
        }
    }
    std::printf("Done %lu runs in %ld second(s)\n", runs,
                static_cast<long>(std::time(nullptr) - start));
    return 0;
}

#endif
