// Watches the largest single allocation of this program while a probe is alive.
#pragma once

#include <cstddef>

namespace lumivex::test {

class AllocationProbe {
public:
    AllocationProbe();
    ~AllocationProbe();
    AllocationProbe(const AllocationProbe&) = delete;
    AllocationProbe& operator=(const AllocationProbe&) = delete;

    std::size_t largest() const;
};

} // namespace lumivex::test
