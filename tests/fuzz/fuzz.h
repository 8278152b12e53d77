// What every fuzz target of this folder provides. A target is one file, NAME_fuzz.cpp, naming
// the parser it builds with in a line "// Parser under test: PATH" (scripts/fuzz reads it). It
// defines LLVMFuzzerTestOneInput, which runs the parser on one input and checks what the parser
// promises beyond memory safety, and FuzzSeeds, well-formed inputs to start from.
//
// fuzz_driver.cpp turns a target into a program. Under libFuzzer (clang, -DKV_LIBFUZZER) it
// only writes the seeds into the corpus folder; without it, it is a small random mutator with the
// same command line (-max_total_time=N -seed=N -artifact_prefix=P, a corpus folder or input
// files), so that g++ builds run the same way. scripts/fuzz builds and runs them all.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

std::vector<std::string> FuzzSeeds();

// Ends the run as a finding, naming the broken promise, unless `ok`.
void FuzzCheck(bool ok, const char *promise);

// An exactly-sized heap copy of the input, so that the address sanitizer sees any read past its
// end; null data for an empty input.
struct FuzzCopy {
    std::vector<uint8_t> bytes;
    FuzzCopy(const uint8_t *data, size_t size) : bytes(data, data + size) {}
    const uint8_t *data() const { return bytes.empty() ? nullptr : bytes.data(); }
    size_t size() const { return bytes.size(); }
};
