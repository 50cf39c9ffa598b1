// The checker over the in-memory machine: what qzvrn-check runs, callable
// from the tests.
#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace qz::check {

class ScriptHost;

// Arguments without the program name; returns the exit status. Without a
// host the syntax check is skipped.
int NativeCheck(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                ScriptHost* host = nullptr);

}  // namespace qz::check
