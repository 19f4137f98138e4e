#pragma once
// Large blocks of memory (a project's mesh list, its calculated records): the first touch of a
// fresh page costs a fault each 4 KiB, which on a large site takes longer than the work done in
// the page. Blocks this large are asked to be backed by 2 MiB pages where the system allows it.

#include <cstddef>
#include <vector>

// Asks for large pages over the whole 2 MiB pieces of [p, p + bytes). Only advice: the memory
// stays the same to its user, and nothing happens where the system has no such pages.
void AdviseLargePages(const void* p, size_t bytes);

// Room for Count elements in V, with large pages advised over its storage.
template <class T> void ReserveLarge(std::vector<T>& V, size_t Count) {
    V.reserve(Count);
    AdviseLargePages(V.data(), V.capacity() * sizeof(T));
}
