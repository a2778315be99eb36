// Owners for what a DDE conversation in window messages holds: global atoms, packed message
// parameters and the conversation's window.
#pragma once

// clang-format off
#include <windows.h>
#include <dde.h>
// clang-format on

#include "win/handles.h"

namespace vorkel::win {

// DDE names travel as global atoms; each GlobalAddAtom is matched by one GlobalDeleteAtom.
struct GlobalAtomTraits {
    using Handle = ATOM;
    static Handle empty() { return 0; }
    static void release(Handle atom) { GlobalDeleteAtom(atom); }
};
using GlobalAtom = UniqueHandle<GlobalAtomTraits>;

// A posted DDE message's lParam may be a block of its own (PackDDElParam); freeing it takes
// the message it was packed for.
struct PackedParam {
    UINT message = 0;
    LPARAM lParam = 0;
    bool operator==(const PackedParam&) const = default;
};
struct PackedParamTraits {
    using Handle = PackedParam;
    static Handle empty() { return {}; }
    static void release(Handle packed) { FreeDDElParam(packed.message, packed.lParam); }
};
using PackedDdeParam = UniqueHandle<PackedParamTraits>;

using DdeWindow = UniqueWindow;

}  // namespace vorkel::win
