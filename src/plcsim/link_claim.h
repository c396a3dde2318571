// Which plcsim serves a link path. A link left behind by a plcsim that is gone may be
// replaced; the live link of one still serving may not, or its clients would lose it.
#pragma once
#include <string>

namespace plcsim {

// Claims `path` for this process until it ends, however it ends (the claim is an
// abstract socket named after the path, which the system drops with its last holder).
// Returns the claim's descriptor, or -1 with `busy` set when another process holds it,
// or -1 with `busy` clear when the claim can't be made at all.
int ClaimLinkPath(const std::string& path, bool& busy);

}  // namespace plcsim
