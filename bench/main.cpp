#include <benchmark/benchmark.h>
#include <malloc.h>

int main(int argc, char **argv)
{
    // Every large buffer comes from the heap and stays there once freed, so each iteration
    // reuses memory that an earlier one touched. Left to itself, glibc maps a fresh buffer
    // whenever its moving threshold says so, and the first touch of each fresh page (about
    // 10 us per 4 KiB on a virtual machine) then swamps the code being timed and changes with
    // the order the benchmarks ran in.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, -1);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
