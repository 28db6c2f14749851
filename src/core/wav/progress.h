// How far a long copy or rewrite has come, told after each buffer: the bytes done so far
// and the total. Returning false cancels it: the work then fails as it would on an error,
// leaving what it would have changed as it was.
#pragma once
#include <cstdint>
#include <functional>

using Progress = std::function<bool(uint64_t done, uint64_t total)>;
