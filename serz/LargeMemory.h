#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace veltrane::serz {

// Asks the system to back a large, not yet touched block with huge pages. A file of
// tens of megabytes decodes into a record list several times its size, and on Linux
// faulting that in 4 KiB pages costs more than the decoding itself. Advice only: where
// it is not available nothing changes.
void adviseLargeBlock(void* start, std::size_t bytes);

// Room for one more element; a new block is advised before anything is copied into it.
template <typename T> void makeRoomForOne(std::vector<T>& list)
{
    if (list.size() < list.capacity())
        return;
    list.reserve(std::max<std::size_t>(4096, list.capacity() * 2));
    adviseLargeBlock(list.data(), list.capacity() * sizeof(T));
}

} // namespace veltrane::serz
