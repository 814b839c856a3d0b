#pragma once

namespace brenzo {

// Lambdas joined into one callable, one per alternative of the std::variant it is visited with.
template <class... Choices>
struct Overloaded : Choices... {
    using Choices::operator()...;
};
template <class... Choices>
Overloaded(Choices...) -> Overloaded<Choices...>;

}  // namespace brenzo
