// Overloaded: a visitor made of lambdas, one per alternative of a variant.
#pragma once

namespace veska::scenario {

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};

}  // namespace veska::scenario
