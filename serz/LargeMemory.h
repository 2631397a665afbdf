#pragma once

#include <cstddef>
#include <iterator>
#include <vector>

namespace veltrane::serz {

// Asks the system to back a large, not yet touched block with huge pages. A file of
// tens of megabytes decodes into a record list several times its size, and on Linux
// faulting that in 4 KiB pages costs more than the decoding itself. Advice only: where
// it is not available nothing changes. The serialiser links no other layer of the program,
// so this one platform difference of its own lives here.
void adviseLargeBlock(void* start, std::size_t bytes);

// Room for at least capacity elements in an advised block. The elements move into it only
// after the advice, since touching the block first would fault it in the small way.
template <typename T> void reserveLarge(std::vector<T>& list, std::size_t capacity)
{
    if (capacity <= list.capacity())
        return;
    std::vector<T> larger;
    larger.reserve(capacity);
    adviseLargeBlock(larger.data(), larger.capacity() * sizeof(T));
    larger.insert(larger.end(), std::make_move_iterator(list.begin()),
                  std::make_move_iterator(list.end()));
    list.swap(larger);
}

} // namespace veltrane::serz
