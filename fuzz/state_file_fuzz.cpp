// Fuzz target: the developer "state.txt" reader. Whatever the text, it must end in
// snapshots that hold no more elements than the text could describe, or in an error.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "engine/state_snapshots.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<StateSnapshot> store;
    std::string error;
    if (StateRecorder::readStates(in, store, error)) {
        size_t items = 0;
        for (const StateSnapshot& s : store) {
            if (s.flagsA.size() != s.values.size() || s.flagsB.size() != s.values.size())
                __builtin_trap();
            items += 2 + 3 * s.values.size();
        }
        // Every number takes at least one character and one separator.
        if (items > size)
            __builtin_trap();
    }
    return 0;
}
