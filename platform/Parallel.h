#pragma once
// Work split over a few threads without a pool: one thread per chunk, started and joined here.

#include <cstddef>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

// Runs Work(c) for c in [0, Chunks), one thread each (chunk 0 on the calling thread), and
// throws the first failure again here once every chunk has ended. A chunk whose thread cannot
// be started runs on the calling thread instead.
template <class TWork> void InParallel(size_t Chunks, const TWork& Work) {
    std::vector<std::thread> helpers;
    std::vector<std::exception_ptr> failed(Chunks);
    const auto guarded = [&](size_t c) {
        try {
            Work(c);
        } catch (...) {
            failed[c] = std::current_exception();
        }
    };
    for (size_t c = 1; c < Chunks; ++c) {
        try {
            helpers.emplace_back(guarded, c);
        } catch (const std::system_error&) {
            guarded(c);
        }
    }
    if (Chunks > 0)
        guarded(0);
    for (std::thread& t : helpers)
        t.join();
    for (const std::exception_ptr& e : failed)
        if (e)
            std::rethrow_exception(e);
}
