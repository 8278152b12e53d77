// Fuzzing the sum of the per-processor times answer.
// Parser under test: providers/cpuhistory.cpp
//
// Besides the sanitizers' checks: only answers of whole entries are summed, a summed answer
// never has more idle than kernel time, and a refused one leaves the sum as it was.
#include <cstring>
#include <string>
#include <vector>

#include "providers/cpuhistory.h"
#include "tests/fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzCopy answer(data, size);
    ProcessorTimes sum = {1, 2, 3};
    const bool summed = SumProcessorTimes(answer.data(), answer.size(), &sum);
    FuzzCheck(!summed || (size && size % kProcessorEntrySize == 0), "only whole entries are summed");
    FuzzCheck(!summed || sum.idle <= sum.kernel, "idle stays within kernel time");
    FuzzCheck(summed || (sum.idle == 1 && sum.kernel == 2 && sum.user == 3),
              "a refused answer leaves the sum alone");
    return 0;
}

std::vector<std::string> FuzzSeeds()
{
    const uint64_t times[] = {100, 300, 200, 0, 0, 0, 50, 90, 10, 0, 0, 0};
    return {std::string(reinterpret_cast<const char *>(times), sizeof times)};
}
